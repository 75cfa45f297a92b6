// Internal to sdbformat and its tools: the open database, the bounds-checked decoding of
// items and the little-endian encoding of values.
#pragma once

#include "sdb_reader.h"

#include <cstdint>
#include <vector>

namespace sdb {

struct Database {
    std::vector<uint8_t> owned; // the image when the database owns it
    const uint8_t* image = nullptr;
    uint32_t size = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
    TAGID database = 0;
    TAGID stringtable = 0;
    TAGID indexes = 0;
    // Where the readable children of each top-level list end: the list's own end, or, for
    // a list cut by damage, the end of the file or the start of the string table after it.
    uint32_t database_end = 0;
    uint32_t stringtable_end = 0;
    uint32_t indexes_end = 0;
    // Where reading the top-level items stopped short of the end of the file, and why.
    TAGID stopped = 0;
    bool stopped_unknown_type = false;
};

inline uint16_t load16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t load64(const uint8_t* p) {
    return static_cast<uint64_t>(load32(p)) | (static_cast<uint64_t>(load32(p + 4)) << 32);
}

// Little-endian values appended to an image, or stored into it.
inline void put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}
inline void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value));
    put16(out, static_cast<uint16_t>(value >> 16));
}
inline void put64(std::vector<uint8_t>& out, uint64_t value) {
    put32(out, static_cast<uint32_t>(value));
    put32(out, static_cast<uint32_t>(value >> 32));
}
inline void store32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}
inline void store64(std::vector<uint8_t>& out, size_t at, uint64_t value) {
    store32(out, at, static_cast<uint32_t>(value));
    store32(out, at + 4, static_cast<uint32_t>(value >> 32));
}

// Data size of the fixed-size types; -1 for the types that carry a size field and for
// unknown types (0x0000 and 0xA000 up).
int fixed_data_size(TAG tag);

// An item decoded from the image.
struct Item {
    TAG tag = 0;
    uint32_t data = 0; // offset of the data
    uint32_t size = 0; // data size
    uint32_t end = 0;  // offset just past the data
};

// Why an item could not be decoded.
enum class ItemFault { None, PastEnd, UnknownType };

// Decodes the item at tagid, which must lie with its data below `limit` (at most the
// file size). The TAGID must be even and past the header.
ItemFault decode_item(const Database& db, TAGID tagid, uint32_t limit, Item* item);

// The offset where the sibling after an item that ends at `end` starts: items are
// aligned to even offsets. An item that ends at 0xFFFFFFFF, the end of the largest file,
// has no sibling: the offset stays there rather than wrap to 0.
inline uint32_t align_even(uint32_t end) {
    return end == 0xFFFFFFFFu ? end : end + (end & 1u);
}

// The extent of a list's children: [*first, *end). The root covers the file after the
// header. False when parent is neither the root nor a valid list.
bool child_range(const Database& db, TAGID parent, uint32_t* first, uint32_t* end);

// The text of a STRING item's data, NUL inside the data required; nullptr otherwise.
const char16_t* string_in(const Database& db, const Item& item);

} // namespace sdb
