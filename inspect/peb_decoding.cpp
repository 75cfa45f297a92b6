// Decodes the PEB's address and the shim engine's fields from bytes copied out of a process.
#include "peb_decoding.h"

namespace {

// A little-endian field of the given size; the layouts hold 4- and 8-byte fields only.
uint64_t FieldAt(const unsigned char* bytes, size_t offset, size_t size) {
    uint64_t value = 0;
    for (size_t i = size; i > 0; --i) {
        value = (value << 8) | bytes[offset + i - 1];
    }
    return value;
}

} // namespace

uint64_t DecodePebAddress(const unsigned char* basicInfo, size_t size, const PebLayout& layout) {
    if (size < layout.basicInfoSize) {
        return 0;
    }
    return FieldAt(basicInfo, layout.pebAddressOffset, layout.pointerSize);
}

bool DecodePebFields(const unsigned char* peb, size_t size, const PebLayout& layout,
                     PebFields& fields) {
    if (size < layout.pebSize) {
        return false;
    }
    fields.appCompatFlags = FieldAt(peb, layout.appCompatFlagsOffset, sizeof(uint64_t));
    fields.appCompatFlagsUser = FieldAt(peb, layout.appCompatFlagsUserOffset, sizeof(uint64_t));
    fields.shimDataAddress = FieldAt(peb, layout.shimDataOffset, layout.pointerSize);
    fields.appCompatInfoAddress = FieldAt(peb, layout.appCompatInfoOffset, layout.pointerSize);
    return true;
}
