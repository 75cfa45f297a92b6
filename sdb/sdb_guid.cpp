// GUIDs: stored bytes and text form.
#include "sdb_guid.h"

#include <cstring>

namespace sdb {

Guid guid_from_bytes(const uint8_t* bytes) {
    Guid guid;
    guid.data1 = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                 (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    guid.data2 = static_cast<uint16_t>(bytes[4] | (bytes[5] << 8));
    guid.data3 = static_cast<uint16_t>(bytes[6] | (bytes[7] << 8));
    std::memcpy(guid.data4, bytes + 8, 8);
    return guid;
}

void guid_to_bytes(const Guid& guid, uint8_t* bytes) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<uint8_t>(guid.data1 >> (8 * i));
    }
    bytes[4] = static_cast<uint8_t>(guid.data2);
    bytes[5] = static_cast<uint8_t>(guid.data2 >> 8);
    bytes[6] = static_cast<uint8_t>(guid.data3);
    bytes[7] = static_cast<uint8_t>(guid.data3 >> 8);
    std::memcpy(bytes + 8, guid.data4, 8);
}

namespace {

// Writes the low digits of value as hex digits, the most significant first; returns the end.
char* put_hex(uint32_t value, int digits, char* at) {
    const char* const hex = "0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        *at++ = hex[(value >> shift) & 0xF];
    }
    return at;
}

} // namespace

// Written by hand: an inventory formats a GUID for every registration it reads.
std::string guid_to_text(const Guid& guid) {
    char text[GUID_TEXT_CHARS - 1];
    char* at = text;
    *at++ = '{';
    at = put_hex(guid.data1, 8, at);
    *at++ = '-';
    at = put_hex(guid.data2, 4, at);
    *at++ = '-';
    at = put_hex(guid.data3, 4, at);
    *at++ = '-';
    for (int i = 0; i < 8; ++i) {
        at = put_hex(guid.data4[i], 2, at);
        if (i == 1) {
            *at++ = '-';
        }
    }
    *at++ = '}';
    return std::string(text, static_cast<size_t>(at - text));
}

bool guid_to_string(const Guid& guid, char16_t* buffer, size_t length) {
    if (buffer == nullptr || length < GUID_TEXT_CHARS) {
        return false;
    }
    std::string text = guid_to_text(guid);
    for (size_t i = 0; i < text.size(); ++i) {
        buffer[i] = static_cast<char16_t>(text[i]);
    }
    buffer[text.size()] = 0;
    return true;
}

static int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool parse_guid(std::string_view text, Guid* guid) {
    std::string_view body = text;
    if (body.size() == 38 && body.front() == '{' && body.back() == '}') {
        body = body.substr(1, 36);
    }
    if (body.size() != 36) {
        return false;
    }
    // The 16 bytes in text order, as the 8-4-4-4-12 groups spell them.
    uint8_t spelled[16];
    size_t n = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (body[i] != '-') {
                return false;
            }
            continue;
        }
        int high = hex_digit(body[i]);
        int low = i + 1 < body.size() ? hex_digit(body[i + 1]) : -1;
        if (high < 0 || low < 0) {
            return false;
        }
        spelled[n++] = static_cast<uint8_t>(high << 4 | low);
        ++i;
    }
    guid->data1 = static_cast<uint32_t>(spelled[0]) << 24 |
                  static_cast<uint32_t>(spelled[1]) << 16 | static_cast<uint32_t>(spelled[2]) << 8 |
                  spelled[3];
    guid->data2 = static_cast<uint16_t>(spelled[4] << 8 | spelled[5]);
    guid->data3 = static_cast<uint16_t>(spelled[6] << 8 | spelled[7]);
    std::memcpy(guid->data4, spelled + 8, 8);
    return true;
}

bool operator==(const Guid& a, const Guid& b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
           std::memcmp(a.data4, b.data4, 8) == 0;
}

} // namespace sdb
