// JSON string literals for the JSON forms of sdbdump, which are written as they are walked.
#pragma once

#include <string>

// Appends `text` (UTF-8) as a JSON string literal, quotes included: quote, backslash and
// control characters escaped, everything else as it is; in text that is not UTF-8, each
// byte above 0x7F becomes U+FFFD.
void append_json_string(std::string& out, const std::string& text);
