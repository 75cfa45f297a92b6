// Conversions between the wide text of the Windows calls and UTF-8.
#pragma once

#include <string>
#include <string_view>

// UTF-8 of the text; unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view text);

// The wide text of UTF-8; invalid sequences become U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
