// A small writer of one-line JSON objects: ASCII only, every other character as \uXXXX.
#include "json_line.h"

#include <string_view>

namespace inventory {

namespace {

void escape_unit(uint32_t unit, std::string* out) {
    const char* const hex = "0123456789abcdef";
    const char text[6] = {'\\',
                          'u',
                          hex[(unit >> 12) & 0xF],
                          hex[(unit >> 8) & 0xF],
                          hex[(unit >> 4) & 0xF],
                          hex[unit & 0xF]};
    out->append(text, sizeof text);
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
        // Most text is printable ASCII, which goes out as it is, a run at a time.
        size_t run = at;
        while (run < text.size() && text[run] >= 0x20 && text[run] < 0x7F && text[run] != '"' &&
               text[run] != '\\') {
            ++run;
        }
        if (run != at) {
            body.append(text.data() + at, run - at);
            at = run;
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

void JsonWriter::key(const char* name) {
    if (!first_) {
        out_->push_back(',');
    }
    first_ = false;
    if (name != nullptr) {
        // The program's own field names: plain ASCII, written as they are.
        out_->push_back('"');
        out_->append(name);
        out_->append("\":", 2);
    }
}

JsonWriter& JsonWriter::open(const char* name, char bracket) {
    key(name);
    out_->push_back(bracket);
    first_ = true;
    return *this;
}

JsonWriter& JsonWriter::close(char bracket) {
    out_->push_back(bracket);
    first_ = false;
    return *this;
}

JsonWriter& JsonWriter::open_object(const char* name) {
    return open(name, '{');
}

JsonWriter& JsonWriter::close_object() {
    return close('}');
}

JsonWriter& JsonWriter::open_array(const char* name) {
    return open(name, '[');
}

JsonWriter& JsonWriter::close_array() {
    return close(']');
}

JsonWriter& JsonWriter::text(const char* name, std::string_view value) {
    key(name);
    append_json_string(value, out_);
    return *this;
}

JsonWriter& JsonWriter::string(const char* name, const std::string& value) {
    return text(name, value);
}

JsonWriter& JsonWriter::string(const char* name, const char* value) {
    return text(name, value);
}

JsonWriter& JsonWriter::string(const char* name, const std::optional<std::string>& value) {
    return value ? string(name, *value) : null(name);
}

JsonWriter& JsonWriter::boolean(const char* name, bool value) {
    key(name);
    out_->append(value ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::number(const char* name, uint64_t value) {
    key(name);
    out_->append(std::to_string(value)); // short enough to need no allocation
    return *this;
}

JsonWriter& JsonWriter::null(const char* name) {
    key(name);
    out_->append("null");
    return *this;
}

JsonWriter& JsonWriter::string_array(const char* name, const std::vector<std::string>& texts) {
    open_array(name);
    for (const std::string& text : texts) {
        string(nullptr, text);
    }
    return close_array();
}

void JsonWriter::end_line(const char* line_end) {
    out_->append(line_end);
    first_ = true;
}

} // namespace inventory
