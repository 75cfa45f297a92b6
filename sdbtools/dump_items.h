// The items of a database as the XML and JSON dumps show them: every byte accounted for,
// with the pad bytes after items of odd length and strings checked for an exact text form.
#pragma once

#include "sdb_walk.h"

#include <cstdint>
#include <functional>
#include <string>

struct DumpItem {
    sdb::TAGID tagid = 0;
    unsigned depth = 0;
    sdb::TAG tag = 0;
    const uint8_t* data = nullptr; // the item's data in the image
    uint32_t size = 0;             // data size (for a list cut short: the part that is there)
    bool pad = false;              // a pad byte follows the item (which ends on an odd offset)
    uint8_t pad_byte = 0;
};

// Walks the database like walk_database(), describing each item.
sdb::WalkResult walk_dump_items(const sdb::Database& db,
                                const std::function<void(const DumpItem&)>& visit);

// The UTF-8 form of UTF-16LE data that holds text and its NUL and nothing else, when it
// converts back to the same units. False for anything else (no NUL, data after it, an
// unpaired surrogate), which the dumps then give as raw bytes.
bool exact_text(const uint8_t* data, uint32_t size, std::string* utf8);
// As exact_text(), and the text is one that XML 1.0 holds as it is: no control characters
// but tab and line feed (a carriage return would come back as a line feed), no U+FFFE or
// U+FFFF. The XML dump gives a string as text exactly when this holds, and sdbc asks the
// same of the string table when it keeps a reference.
bool xml_text(const uint8_t* data, uint32_t size, std::string* utf8);
// The XML element name of a tag: its name when that is a valid XML name, else nullptr
// (unknown tags, and names that start with a digit such as 16BIT_DESCRIPTION).
const char* xml_tag_name(sdb::TAG tag);
// "a.b.c.d" of a version QWORD, most significant word first.
std::string version_text(uint64_t value);
// "0x0000000C": the offsets that the dumps show.
std::string offset_text(uint32_t offset);
// "0x6017": a tag by number.
std::string tag_number_text(sdb::TAG tag);
