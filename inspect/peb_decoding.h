// The shim engine's fields picked out of the bytes of a PEB and of its basic information.
#pragma once

#include <cstddef>
#include <cstdint>

#include "peb_layout.h"

// The shim engine's fields of a PEB: the flag words and where the two blocks lie.
struct PebFields {
    uint64_t appCompatFlags;
    uint64_t appCompatFlagsUser;
    uint64_t shimDataAddress;
    uint64_t appCompatInfoAddress;
};

// The PEB's address from the basic information record of the layout; 0 when the record is
// shorter than the layout's.
uint64_t DecodePebAddress(const unsigned char* basicInfo, size_t size, const PebLayout& layout);

// Picks the fields out of the bytes of a PEB of the layout; false, leaving the fields alone,
// when the bytes are fewer than the layout reads.
bool DecodePebFields(const unsigned char* peb, size_t size, const PebLayout& layout,
                     PebFields& fields);
