// JSON string literals for the JSON forms of sdbdump.
#include "json_text.h"

void append_json_string(std::string& out, const std::string& text) {
    static const char HEX[] = "0123456789abcdef";
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
        } else {
            out += c;
        }
    }
    out += '"';
}
