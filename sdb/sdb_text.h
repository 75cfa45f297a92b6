// UTF-8 and UTF-16 conversion for the tools and tests of the database library.
#pragma once

#include <cstdint>
#include <string>

namespace sdb {

// One code point (at most 0x10FFFF) appended as UTF-8.
void append_utf8(uint32_t code, std::string* out);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string to_utf8(const char16_t* text);
inline std::string to_utf8(const std::u16string& text) {
    return to_utf8(text.c_str());
}
// UTF-8 to UTF-16; false on a malformed sequence.
bool from_utf8(const std::string& text, std::u16string* out);

} // namespace sdb
