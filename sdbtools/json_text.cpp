// JSON string literals for the JSON forms of sdbdump.
#include "json_text.h"

#include "sdb_text.h"

void append_json_string(std::string& out, const std::string& text) {
    static const char HEX[] = "0123456789abcdef";
    // Text from outside the database (a file name) may not be UTF-8; JSON must be.
    std::u16string ignored;
    bool utf8 = sdb::from_utf8(text, &ignored);
    out += '"';
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += HEX[byte >> 4];
            out += HEX[byte & 0xF];
        } else if (byte >= 0x80 && !utf8) {
            out += "\\ufffd";
        } else {
            out += c;
        }
    }
    out += '"';
}
