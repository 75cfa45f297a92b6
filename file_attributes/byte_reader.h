// Bounds-checked little-endian reads from a byte block.
#pragma once

#include <cstddef>
#include <cstdint>

// Bounds-checked little-endian reads from a byte block: each read fails, leaving the output
// alone, when the field does not lie wholly inside the block.
struct ByteView {
    const std::uint8_t* data;
    std::size_t size;
};

inline bool FitsIn(ByteView view, std::uint64_t offset, std::uint64_t length) {
    return offset <= view.size && length <= view.size - offset;
}

inline bool ReadU16(ByteView view, std::uint64_t offset, std::uint16_t& out) {
    if (!FitsIn(view, offset, 2))
        return false;
    const std::uint8_t* p = view.data + offset;
    out = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    return true;
}

inline bool ReadU32(ByteView view, std::uint64_t offset, std::uint32_t& out) {
    if (!FitsIn(view, offset, 4))
        return false;
    const std::uint8_t* p = view.data + offset;
    out = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
          (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return true;
}
