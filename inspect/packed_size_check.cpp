// The packed shim data's own size field, against the bytes copied out of the target.
#include "packed_size_check.h"

#include <cstddef>
#include <cstring>

namespace {

const uint32_t PackedMagic = 0xAC0DEDAB;

// Where each known form keeps its size field; the magic follows it.
const size_t SizeFieldOffsets[] = {0, 520};

uint32_t DwordAt(const std::vector<unsigned char>& block, size_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, &block[offset], sizeof value);
    return value;
}

} // namespace

bool PackedSizeWithinCopy(const std::vector<unsigned char>& block, uint32_t bytesRead) {
    for (size_t offset : SizeFieldOffsets) {
        if (offset + 8 > block.size() || offset + 8 > bytesRead) {
            continue;
        }
        if (DwordAt(block, offset + 4) == PackedMagic && DwordAt(block, offset) > bytesRead) {
            return false;
        }
    }
    return true;
}
