// Conversions between the wide text of the Windows calls and UTF-8.
#pragma once

#include <string>

// UTF-8 of the text; unpaired surrogates become U+FFFD.
std::string Utf8(const std::wstring& text);

// The wide text of UTF-8; invalid sequences become U+FFFD.
std::wstring WideFromUtf8(const std::string& text);
