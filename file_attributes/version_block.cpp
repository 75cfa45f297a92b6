// Checks the tree of a version resource block.
#include "version_block.h"

namespace {

const int MaxDepth = 6;
const std::uint64_t NodeHeaderSize = 6; // wLength, wValueLength, wType

std::uint64_t AlignTo4(std::uint64_t offset) {
    return (offset + 3) & ~std::uint64_t(3);
}

bool NodeIsSound(ByteView block, std::uint64_t node, std::uint64_t parentEnd, int depth) {
    std::uint16_t length = 0, valueLength = 0, type = 0;
    if (depth > MaxDepth || !ReadU16(block, node, length) ||
        !ReadU16(block, node + 2, valueLength) || !ReadU16(block, node + 4, type))
        return false;
    std::uint64_t end = node + length;
    if (length < NodeHeaderSize || end > parentEnd || type > 1)
        return false;
    std::uint64_t key = node + NodeHeaderSize;
    std::uint16_t unit = 1;
    while (unit != 0) {
        if (key + 2 > end || !ReadU16(block, key, unit))
            return false;
        key += 2;
    }
    std::uint64_t value = AlignTo4(key);
    std::uint64_t valueSize = type == 1 ? std::uint64_t(valueLength) * 2 : valueLength;
    if (valueSize != 0 && value + valueSize > end)
        return false;
    for (std::uint64_t child = AlignTo4(value + valueSize); child < end;) {
        std::uint16_t childLength = 0;
        if (!NodeIsSound(block, child, end, depth + 1) || !ReadU16(block, child, childLength))
            return false;
        child = AlignTo4(child + childLength);
    }
    return true;
}

} // namespace

bool VersionBlockIsSound(ByteView block) {
    return NodeIsSound(block, 0, block.size, 0);
}
