// The facts of a report as JSON fields, taken from the same typed lines and values that the
// report's text is written from.
#pragma once

#include <windows.h>

#include <nlohmann/json.hpp>

#include <string>

#include "../inspect/stored_layers.h"
#include "../shimreport/match_lines.h"

// UTF-8 of the text; unpaired surrogates become U+FFFD.
std::string Utf8(const std::wstring& text);

// A flag word: its value and the names of its named bits.
nlohmann::json FlagFields(DWORD value);

// A match or an unpacked shim data block.
nlohmann::json MatchFields(const MatchReport& report);

// The layers stored per user and per machine; null where none is stored.
nlohmann::json StoredLayerFields(const StoredLayers& stored);

// A failure message that ends with a decimal code, such as "Error opening proc: 5".
nlohmann::json FailureFields(const std::wstring& message);
