// GUIDs as stored in shim databases (EXE_ID, DATABASE_ID) and their text form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sdb {

// A GUID in the platform's layout: the first three fields little-endian in the file,
// the last eight bytes as they are.
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

const size_t GUID_BYTES = 16;
// Characters of the text form with its NUL: "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
const size_t GUID_TEXT_CHARS = 39;

// Decodes the 16 stored bytes of a GUID.
Guid guid_from_bytes(const uint8_t* bytes);
// Encodes a GUID into its 16 stored bytes.
void guid_to_bytes(const Guid& guid, uint8_t* bytes);

// Writes the text form (lower-case hex in braces, 8-4-4-4-12) with its NUL into buffer.
// Returns false, writing nothing, when length (in characters) is below GUID_TEXT_CHARS.
bool guid_to_string(const Guid& guid, char16_t* buffer, size_t length);
// The text form as a narrow string, for tools and messages.
std::string guid_to_text(const Guid& guid);
// Parses "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (braces optional, hex of either case).
bool parse_guid(std::string_view text, Guid* guid);

bool operator==(const Guid& a, const Guid& b);
inline bool operator!=(const Guid& a, const Guid& b) {
    return !(a == b);
}

} // namespace sdb
