// Printing a shim database as an indented tree.
#include "sdb_dump.h"

#include "dump_items.h"
#include "sdb_text.h"
#include "sdb_time.h"

#include <cinttypes>
#include <cstdio>
#include <string>

using namespace sdb;

namespace {

// How many bytes of binary data a line shows.
const uint32_t BINARY_SHOWN = 16;

std::string format(const char* pattern, uint64_t a, uint64_t b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, a, b);
    return text;
}

} // namespace

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20) {
            out += format("\\x%02" PRIX64, byte);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string quoted(const char16_t* text) {
    return text != nullptr ? quoted(to_utf8(text)) : "<bad string>";
}

namespace {

std::string binary_value(const Database& db, TAGID tagid, TAG tag) {
    uint32_t size = 0;
    const uint8_t* data = get_binary_ptr(db, tagid, &size);
    Guid guid;
    if (is_guid_tag(tag) && read_guid(db, tagid, &guid)) {
        return guid_to_text(guid);
    }
    std::string out = format("(%" PRIu64 " bytes)", size);
    for (uint32_t i = 0; i < size && i < BINARY_SHOWN; ++i) {
        out += format(" %02" PRIX64, data[i]);
    }
    return size > BINARY_SHOWN ? out + " ..." : out;
}

} // namespace

std::string value_text(const Database& db, TAGID tagid, TAG tag) {
    const uint8_t* data = database_image(db) + tagid + (tag_has_size(tag) ? 6 : 2);
    switch (tag_type(tag)) {
    case TAG_TYPE_BYTE:
        return format("0x%02" PRIX64 " (%" PRIu64 ")", data[0], data[0]);
    case TAG_TYPE_WORD:
        return format("0x%04" PRIX64 " (%" PRIu64 ")", read_word(db, tagid), read_word(db, tagid));
    case TAG_TYPE_DWORD: {
        uint32_t value = read_dword(db, tagid);
        std::string text = format("0x%08" PRIX64 " (%" PRIu64 ")", value, value);
        std::string date;
        return tag_date_text(tag, value, &date) ? text + " " + date : text;
    }
    case TAG_TYPE_QWORD: {
        uint64_t value = read_qword(db, tagid);
        std::string text = format("0x%016" PRIX64 " (%" PRIu64 ")", value, value);
        std::string date;
        if (is_version_tag(tag)) {
            text += " " + version_text(value);
        } else if (tag_date_text(tag, value, &date)) {
            text += " " + date;
        }
        return text;
    }
    case TAG_TYPE_STRINGREF:
        return quoted(get_string_ptr(db, tagid)) +
               format(" (ref 0x%" PRIX64 ")", read_stringref(db, tagid));
    case TAG_TYPE_STRING:
        return quoted(get_string_ptr(db, tagid));
    case TAG_TYPE_LIST: {
        const uint8_t* size = database_image(db) + tagid + 2;
        uint32_t bytes = static_cast<uint32_t>(size[0] | size[1] << 8 | size[2] << 16) |
                         static_cast<uint32_t>(size[3]) << 24;
        return format("(%" PRIu64 " bytes)", bytes);
    }
    case TAG_TYPE_BINARY:
        return binary_value(db, tagid, tag);
    default:
        return std::string();
    }
}

namespace {

// Prints one item's line.
void print_item(const Database& db, TAGID tagid, unsigned depth, std::ostream& out) {
    const uint8_t* at = database_image(db) + tagid;
    TAG tag = static_cast<TAG>(at[0] | at[1] << 8);
    const char* name = tag_name(tag);
    std::string value = value_text(db, tagid, tag);
    out << format("0x%08" PRIX64 " ", tagid) << std::string(2 * depth, ' ')
        << (name != nullptr ? std::string(name) : format("0x%04" PRIX64, tag))
        << (value.empty() ? "" : " ") << value << '\n';
}

} // namespace

WalkResult dump_database(const Database& db, std::ostream& out) {
    out << "shim database " << database_major(db) << '.' << database_minor(db) << ", "
        << database_size(db) << " bytes\n";
    return walk_database(db,
                         [&](TAGID tagid, unsigned depth) { print_item(db, tagid, depth, out); });
}

WalkResult dump_item(const Database& db, TAGID item, std::ostream& out) {
    return walk_item(db, item,
                     [&](TAGID tagid, unsigned depth) { print_item(db, tagid, depth, out); });
}
