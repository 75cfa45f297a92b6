// Where the PEB and the shim engine's fields in it lie, for each pointer size.
#pragma once

#include <cstddef>
#include <cstdint>

// Offsets in bytes from the start of the basic information record and of the PEB.
struct PebLayout {
    uint32_t basicInfoSize;    // PROCESS_BASIC_INFORMATION as the query fills it
    uint32_t pebAddressOffset; // PebBaseAddress in that record
    uint32_t pebSize;          // bytes read from the PEB; they cover the four fields below
    size_t appCompatFlagsOffset;
    size_t appCompatFlagsUserOffset;
    size_t shimDataOffset;      // pointer to the packed shim data (pShimData)
    size_t appCompatInfoOffset; // pointer to AppCompatInfo
    size_t pointerSize;
};

const PebLayout Peb32Layout = {24, 4, 0x20c, 0x1d8, 0x1e0, 0x1e8, 0x1ec, 4};
const PebLayout Peb64Layout = {48, 8, 0x320, 0x2c8, 0x2d0, 0x2d8, 0x2e0, 8};

// The layout of a process of the same pointer size as this program.
inline const PebLayout& OwnPebLayout() {
    return sizeof(void*) == 8 ? Peb64Layout : Peb32Layout;
}
