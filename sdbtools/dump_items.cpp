// The items of a database as the XML and JSON dumps show them.
#include "dump_items.h"

#include "sdb_image.h"
#include "sdb_text.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

using namespace sdb;

sdb::WalkResult walk_dump_items(const Database& db,
                                const std::function<void(const DumpItem&)>& visit) {
    // The end of the data of each open list, by depth; the root ends with the file.
    std::vector<uint32_t> ends;
    const uint8_t* image = database_image(db);
    return walk_database(db, [&](TAGID tagid, unsigned depth) {
        ends.resize(depth);
        uint32_t parent_end = depth == 0 ? database_size(db) : ends[depth - 1];
        DumpItem item;
        item.tagid = tagid;
        item.depth = depth;
        item.tag = load16(image + tagid);
        int fixed = fixed_data_size(item.tag);
        uint32_t header = fixed < 0 ? 6 : 2;
        item.data = image + tagid + header;
        // The walk has checked the extent, except for a list cut short by its parent.
        uint64_t size = fixed < 0 ? load32(image + tagid + 2) : static_cast<uint32_t>(fixed);
        uint64_t end = uint64_t{tagid} + header + size;
        if (end > parent_end) {
            end = parent_end;
            size = end - tagid - header;
        }
        item.size = static_cast<uint32_t>(size);
        item.pad = (end & 1u) != 0 && end < parent_end;
        item.pad_byte = item.pad ? image[end] : 0;
        if (tag_type(item.tag) == TAG_TYPE_LIST) {
            ends.push_back(static_cast<uint32_t>(end));
        }
        visit(item);
    });
}

bool exact_text(const uint8_t* data, uint32_t size, std::string* utf8) {
    if (size < 2 || size % 2 != 0 || load16(data + size - 2) != 0) {
        return false;
    }
    std::u16string units;
    units.reserve(size / 2 - 1);
    for (uint32_t i = 0; i + 2 < size; i += 2) {
        char16_t unit = load16(data + i);
        if (unit == 0) {
            return false;
        }
        units.push_back(unit);
    }
    *utf8 = to_utf8(units);
    std::u16string back;
    return from_utf8(*utf8, &back) && back == units;
}

bool xml_text(const uint8_t* data, uint32_t size, std::string* utf8) {
    if (!exact_text(data, size, utf8)) {
        return false;
    }
    for (char c : *utf8) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
            return false;
        }
    }
    return utf8->find("\xEF\xBF\xBE") == std::string::npos &&
           utf8->find("\xEF\xBF\xBF") == std::string::npos;
}

const char* xml_tag_name(TAG tag) {
    const char* name = tag_name(tag);
    return name != nullptr && (name[0] < '0' || name[0] > '9') ? name : nullptr;
}

std::string version_text(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(value >> 48),
                  static_cast<unsigned>((value >> 32) & 0xFFFF),
                  static_cast<unsigned>((value >> 16) & 0xFFFF),
                  static_cast<unsigned>(value & 0xFFFF));
    return text;
}

std::string offset_text(uint32_t offset) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08" PRIX32, offset);
    return text;
}

std::string tag_number_text(TAG tag) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(tag));
    return text;
}
