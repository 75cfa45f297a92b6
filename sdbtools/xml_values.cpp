// Attribute values of the XML description, read according to their tag's type.
#include "xml_values.h"

#include "sdb_text.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

using namespace sdb;

#include <algorithm>

bool parse_number(const std::string& text, uint64_t max, uint64_t* value) {
    // strtoull would take leading blanks and signs.
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return false;
    }
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    unsigned long long parsed = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end != text.c_str() + text.size() || parsed > max) {
        return false;
    }
    *value = parsed;
    return true;
}

bool parse_qword(const std::string& text, uint64_t* value) {
    if (text.find('.') == std::string::npos) {
        return parse_number(text, ~uint64_t{0}, value);
    }
    *value = 0;
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        size_t dot = text.find('.', start);
        uint64_t word = 0;
        if (!parse_number(text.substr(start, dot - start), 0xFFFF, &word)) {
            return false;
        }
        *value |= word << (48 - 16 * part);
        if (dot == std::string::npos) {
            return true;
        }
        start = dot + 1;
    }
    return false; // a fifth part
}

unsigned xml_line(const std::string& xml, ptrdiff_t offset) {
    if (offset < 0) {
        return 0;
    }
    size_t end = std::min(static_cast<size_t>(offset), xml.size());
    return 1 + static_cast<unsigned>(
                   std::count(xml.begin(), xml.begin() + static_cast<ptrdiff_t>(end), '\n'));
}

namespace {

bool parse_hex_bytes(const std::string& text, std::vector<uint8_t>* bytes) {
    std::string digits;
    for (char c : text) {
        if (c != ' ') {
            digits += c;
        }
    }
    if (digits.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < digits.size(); i += 2) {
        uint64_t byte = 0;
        if (!parse_number("0x" + digits.substr(i, 2), 0xFF, &byte)) {
            return false;
        }
        bytes->push_back(static_cast<uint8_t>(byte));
    }
    return true;
}

} // namespace

bool write_attribute(Writer& writer, TAG tag, const std::string& text, std::string* problem) {
    uint64_t number = 0;
    switch (tag_type(tag)) {
    case TAG_TYPE_NULL:
        if (text.empty() || text == "1" || text == "true") {
            return write_null(writer, tag);
        }
        *problem = "takes no value (give \"\" or \"1\")";
        return false;
    case TAG_TYPE_WORD:
        if (parse_number(text, 0xFFFF, &number)) {
            return write_word(writer, tag, static_cast<uint16_t>(number));
        }
        *problem = "is not a 16-bit number";
        return false;
    case TAG_TYPE_DWORD:
        if (parse_number(text, 0xFFFFFFFF, &number)) {
            return write_dword(writer, tag, static_cast<uint32_t>(number));
        }
        *problem = "is not a 32-bit number";
        return false;
    case TAG_TYPE_QWORD:
        if (parse_qword(text, &number)) {
            return write_qword(writer, tag, number);
        }
        *problem = "is neither a 64-bit number nor a version a.b.c.d";
        return false;
    case TAG_TYPE_STRINGREF:
    case TAG_TYPE_STRING: {
        std::u16string utf16;
        if (!from_utf8(text, &utf16)) {
            *problem = "is not UTF-8";
            return false;
        }
        return write_string(writer, tag, utf16);
    }
    case TAG_TYPE_BINARY: {
        if (is_guid_tag(tag)) {
            Guid guid;
            if (parse_guid(text, &guid)) {
                return write_guid(writer, tag, guid);
            }
            *problem = "is not a GUID {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
            return false;
        }
        std::vector<uint8_t> bytes;
        if (parse_hex_bytes(text, &bytes)) {
            return write_binary(writer, tag, bytes.data(), bytes.size());
        }
        *problem = "is not hex bytes";
        return false;
    }
    default:
        *problem = "names a list, which is written as an element";
        return false;
    }
}
