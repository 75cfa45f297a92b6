// Base64 (the standard alphabet, with padding) for binary values in XML and JSON dumps.
#include "base64.h"

namespace {

const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int digit_value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

} // namespace

std::string base64_encode(const uint8_t* data, size_t size) {
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        uint32_t group = static_cast<uint32_t>(data[i]) << 16;
        if (i + 1 < size) {
            group |= static_cast<uint32_t>(data[i + 1]) << 8;
        }
        if (i + 2 < size) {
            group |= data[i + 2];
        }
        out += ALPHABET[(group >> 18) & 63];
        out += ALPHABET[(group >> 12) & 63];
        out += i + 1 < size ? ALPHABET[(group >> 6) & 63] : '=';
        out += i + 2 < size ? ALPHABET[group & 63] : '=';
    }
    return out;
}

bool base64_decode(const std::string& text, std::vector<uint8_t>* out) {
    out->clear();
    uint32_t group = 0;
    int digits = 0;
    int padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            continue;
        }
        int value = digit_value(c);
        if (c == '=') {
            // Padding only ends a group of four, after at least two digits.
            if (digits < 2) {
                return false;
            }
            ++padding;
            value = 0;
        } else if (value < 0 || padding != 0) {
            // A digit after padding, or no digit at all.
            return false;
        }
        group = group << 6 | static_cast<uint32_t>(value);
        if (++digits == 4) {
            out->push_back(static_cast<uint8_t>(group >> 16));
            if (padding < 2) {
                out->push_back(static_cast<uint8_t>(group >> 8));
            }
            if (padding < 1) {
                out->push_back(static_cast<uint8_t>(group));
            }
            group = 0;
            digits = 0;
            if (padding != 0) {
                padding = -1; // nothing may follow a padded group
            }
        }
    }
    return digits == 0;
}
