// The facts of report text as JSON fields. The report code writes text only; reading its
// lines back keeps that code the one source of every fact, so the JSON carries what the text
// shows and nothing the text would not.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

// UTF-8 of the text; unpaired surrogates become U+FFFD.
std::string Utf8(const std::wstring& text);

// A match, as MatchExecutable or WriteUnpackedShimData write it to a stream that was switched
// to hexadecimal before, so that every number of the text is hexadecimal.
nlohmann::json MatchFields(const std::wstring& text);

// The layers stored per user and per machine, as WriteStoredLayers writes them; null where
// none is stored.
nlohmann::json StoredLayerFields(const std::wstring& text);

// A failure message that ends with a decimal code, such as "Error opening proc: 5".
nlohmann::json FailureFields(const std::wstring& message);
