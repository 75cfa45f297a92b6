// A small writer of one-line JSON objects: ASCII only, every other character as \uXXXX.
#include "json_line.h"

#include <cstdio>
#include <string_view>

namespace inventory {

namespace {

void escape_unit(uint32_t unit, std::string* out) {
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", static_cast<unsigned>(unit));
    out->append(text);
}

// The code point of the UTF-8 sequence at text[*at], moving *at past it; U+FFFD and one byte
// for a sequence that is malformed, overlong, a surrogate or beyond U+10FFFF.
uint32_t next_code_point(std::string_view text, size_t* at) {
    const uint32_t replacement = 0xFFFD;
    unsigned char lead = static_cast<unsigned char>(text[*at]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || length > 4 || *at + length > text.size() || lead > 0xF4) {
        ++*at;
        return replacement;
    }
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        unsigned char next = static_cast<unsigned char>(text[*at + i]);
        if ((next & 0xC0) != 0x80) {
            ++*at;
            return replacement;
        }
        code = (code << 6) | (next & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
        ++*at;
        return replacement;
    }
    *at += length;
    return code;
}

// Appends the quoted JSON string of text to *out, so that an object's fields are written
// into its body without a string of their own.
void append_json_string(std::string_view text, std::string* out) {
    std::string& body = *out;
    body.push_back('"');
    size_t at = 0;
    while (at < text.size()) {
        // Most text is printable ASCII, which goes out as it is.
        char plain = text[at];
        if (plain >= 0x20 && plain < 0x7F && plain != '"' && plain != '\\') {
            body.push_back(plain);
            ++at;
            continue;
        }
        uint32_t code = next_code_point(text, &at);
        if (code == '"' || code == '\\') {
            body.push_back('\\');
            body.push_back(static_cast<char>(code));
        } else if (code >= 0x20 && code < 0x7F) {
            body.push_back(static_cast<char>(code));
        } else if (code >= 0x10000) {
            code -= 0x10000;
            escape_unit(0xD800 + (code >> 10), out);
            escape_unit(0xDC00 + (code & 0x3FF), out);
        } else {
            escape_unit(code, out);
        }
    }
    body.push_back('"');
}

} // namespace

std::string json_string(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    append_json_string(text, &out);
    return out;
}

std::string json_array(const std::vector<std::string>& values) {
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        out += (i == 0 ? "" : ",") + values[i];
    }
    return out + "]";
}

std::string json_string_array(const std::vector<std::string>& texts) {
    std::vector<std::string> values;
    for (const std::string& text : texts) {
        values.push_back(json_string(text));
    }
    return json_array(values);
}

void JsonObject::key(const char* name) {
    if (!body_.empty()) {
        body_.push_back(',');
    }
    append_json_string(name, &body_);
    body_.push_back(':');
}

JsonObject& JsonObject::string(const char* name, const std::string& value) {
    key(name);
    append_json_string(value, &body_);
    return *this;
}

JsonObject& JsonObject::string(const char* name, const char* value) {
    key(name);
    append_json_string(value, &body_);
    return *this;
}

JsonObject& JsonObject::string(const char* name, const std::optional<std::string>& value) {
    return value ? string(name, *value) : null(name);
}

JsonObject& JsonObject::boolean(const char* name, bool value) {
    return raw(name, value ? "true" : "false");
}

JsonObject& JsonObject::number(const char* name, uint64_t value) {
    return raw(name, std::to_string(value));
}

JsonObject& JsonObject::null(const char* name) {
    return raw(name, "null");
}

JsonObject& JsonObject::raw(const char* name, const std::string& json) {
    key(name);
    body_ += json;
    return *this;
}

std::string JsonObject::text() const {
    return "{" + body_ + "}";
}

} // namespace inventory
