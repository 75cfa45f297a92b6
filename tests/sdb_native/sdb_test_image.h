// Hand-built database images for tests of malformed input.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

// Appends little-endian values to a byte image.
struct ImageBuilder {
    std::vector<uint8_t> bytes;

    ImageBuilder& header(uint32_t major = 2, uint32_t minor = 1) {
        dword(major).dword(minor);
        for (char c : {'s', 'd', 'b', 'f'}) {
            bytes.push_back(static_cast<uint8_t>(c));
        }
        return *this;
    }
    ImageBuilder& word(uint16_t value) {
        bytes.push_back(static_cast<uint8_t>(value));
        bytes.push_back(static_cast<uint8_t>(value >> 8));
        return *this;
    }
    ImageBuilder& dword(uint32_t value) {
        return word(static_cast<uint16_t>(value)).word(static_cast<uint16_t>(value >> 16));
    }
    ImageBuilder& raw(std::initializer_list<uint8_t> values) {
        bytes.insert(bytes.end(), values);
        return *this;
    }
    // A tag with a size field.
    ImageBuilder& sized(uint16_t tag, uint32_t size) { return word(tag).dword(size); }
    // A UTF-16 string's units, with a NUL when terminated.
    ImageBuilder& text(const char16_t* units, bool terminated = true) {
        for (; *units != 0; ++units) {
            word(*units);
        }
        return terminated ? word(0) : *this;
    }
};
