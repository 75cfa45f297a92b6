// The whole database as JSON: the tree of the XML dump, for scripts, written as it is
// walked so that a large database needs no tree in memory.
#include "json_dump.h"

#include "base64.h"
#include "dump_items.h"
#include "json_text.h"
#include "sdb_image.h"
#include "sdb_text.h"
#include "sdb_time.h"

using namespace sdb;

namespace {

// How much output gathers before it is written.
const size_t FLUSH_AT = 1 << 16;

const char* type_name(TAG tag) {
    static const char* const NAMES[] = {"NULL",      "BYTE", "WORD",   "DWORD", "QWORD",
                                        "STRINGREF", "LIST", "STRING", "BINARY"};
    unsigned type = tag_type(tag) >> 12;
    return type >= 1 && type <= 9 ? NAMES[type - 1] : "unknown";
}

void member(std::string& out, const char* name) {
    out += ", \"";
    out += name;
    out += "\": ";
}

void string_member(std::string& out, const char* name, const std::string& value) {
    member(out, name);
    append_json_string(out, value);
}

// The members after "type": the value by its type, then what else describes it.
void append_value(const Database& db, std::string& out, const DumpItem& item) {
    std::string text;
    switch (tag_type(item.tag)) {
    case TAG_TYPE_BYTE:
        member(out, "value");
        out += std::to_string(item.data[0]);
        break;
    case TAG_TYPE_WORD:
        member(out, "value");
        out += std::to_string(load16(item.data));
        break;
    case TAG_TYPE_DWORD:
        member(out, "value");
        out += std::to_string(load32(item.data));
        if (tag_date_text(item.tag, load32(item.data), &text)) {
            string_member(out, "date", text);
        }
        break;
    case TAG_TYPE_QWORD: {
        // As a string: a parser that reads numbers as doubles would round it.
        uint64_t value = load64(item.data);
        string_member(out, "value", std::to_string(value));
        if (is_version_tag(item.tag)) {
            string_member(out, "version", version_text(value));
        }
        if (tag_date_text(item.tag, value, &text)) {
            string_member(out, "date", text);
        }
        break;
    }
    case TAG_TYPE_STRINGREF: {
        uint32_t ref = load32(item.data);
        string_member(out, "ref", offset_text(ref));
        const char16_t* string = get_stringtable_ptr(db, ref);
        member(out, "value");
        if (string != nullptr) {
            append_json_string(out, to_utf8(string));
        } else {
            out += "null";
        }
        break;
    }
    case TAG_TYPE_STRING:
        if (exact_text(item.data, item.size, &text)) {
            string_member(out, "value", text);
        } else {
            string_member(out, "raw", base64_encode(item.data, item.size));
        }
        break;
    case TAG_TYPE_BINARY:
        string_member(out, "value", base64_encode(item.data, item.size));
        if (is_guid_tag(item.tag) && item.size == GUID_BYTES) {
            string_member(out, "guid", guid_to_text(guid_from_bytes(item.data)));
        }
        break;
    default: // NULL: presence is the value; a list's children follow
        break;
    }
    if (item.pad) {
        member(out, "pad");
        out += std::to_string(item.pad_byte);
    }
}

std::string indent(unsigned depth) {
    return std::string(2 * depth + 2, ' ');
}

} // namespace

WalkResult dump_json(const Database& db, std::ostream& out) {
    std::string text = "{\"major\": " + std::to_string(database_major(db)) +
                       ", \"minor\": " + std::to_string(database_minor(db)) +
                       ", \"size\": " + std::to_string(database_size(db)) + ",\n \"items\": [";
    // The depth of the lists that are open, and whether the current one has an item yet.
    unsigned open = 0;
    bool first = true;
    auto close_to = [&](unsigned depth) {
        for (; open > depth; --open) {
            text += first ? "]}" : "\n" + indent(open - 1) + "]}";
            first = false;
        }
    };
    WalkResult result = walk_dump_items(db, [&](const DumpItem& item) {
        close_to(item.depth);
        text += first ? "\n" : ",\n";
        text += indent(item.depth) + "{\"at\": \"" + offset_text(item.tagid) + "\", \"tag\": ";
        const char* name = tag_name(item.tag);
        append_json_string(text, name != nullptr ? std::string(name) : tag_number_text(item.tag));
        text += ", \"type\": \"";
        text += type_name(item.tag);
        text += '"';
        append_value(db, text, item);
        if (tag_type(item.tag) == TAG_TYPE_LIST) {
            text += ", \"children\": [";
            ++open;
            first = true;
        } else {
            text += '}';
            first = false;
        }
        if (text.size() >= FLUSH_AT) {
            out << text;
            text.clear();
        }
    });
    close_to(0);
    text += first ? "]" : "\n ]";
    if (result.problem != WalkProblem::None) {
        text += ",\n \"stopped\": {\"at\": \"" + offset_text(result.where) + "\", \"reason\": ";
        append_json_string(text, walk_problem_text(result.problem));
        text += '}';
    }
    out << text << "}\n";
    return result;
}
