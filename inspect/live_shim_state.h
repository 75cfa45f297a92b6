// The shim state copied out of a process, as the live-state report takes it.
#pragma once

#include <cstdint>
#include <vector>

// The sizes tried for a copied block, largest first; each is half the one before. Every copy
// has room for the largest, so that a reader trusting a size field inside the block stays
// within the copy.
const uint32_t LargestRemoteBlock = 16384;
const uint32_t SmallestRemoteBlock = 4096;

// The shim state read out of one process's PEB. An empty block is no block.
struct LiveShimInfo {
    uint64_t appCompatFlags;
    uint64_t appCompatFlagsUser;
    std::vector<unsigned char> shimData;
    std::vector<unsigned char> appCompatInfo;
    uint32_t appCompatInfoSize;
    bool targetIs64Bit;    // the target is a native 64-bit process
    uint32_t shimDataSize; // bytes of shimData that were read; the rest of the copy is zero
    bool peb64;            // the 64-bit PEB layout was read (also for a WoW64 target)
};
