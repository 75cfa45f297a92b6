// TAGREFs: a database's number and an item's TAGID in one value.
#pragma once

#include <cstdint>

// A TAGREF names an item across the databases of one context: the database's number in the
// top four bits, the item's TAGID in the low 28.
const std::uint32_t TagIdBits = 0x0FFFFFFF;

inline std::uint32_t MakeTagRef(std::uint32_t database, std::uint32_t tagId) {
    return (database << 28) | (tagId & TagIdBits);
}
inline std::uint32_t TagRefDatabase(std::uint32_t tagRef) {
    return tagRef >> 28;
}
inline std::uint32_t TagRefTagId(std::uint32_t tagRef) {
    return tagRef & TagIdBits;
}
