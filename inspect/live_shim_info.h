// The shim state of a running process and its read.
#pragma once

#include <windows.h>

#include <vector>

// The shim state read out of one process's PEB. An empty block is no block.
struct LiveShimInfo {
    ULONGLONG appCompatFlags;
    ULONGLONG appCompatFlagsUser;
    std::vector<unsigned char> shimData;
    std::vector<unsigned char> appCompatInfo;
    DWORD appCompatInfoSize;
    bool targetIs64Bit;
    DWORD shimDataSize; // bytes of shimData that were read; the rest of the copy is zero
};

// Frees both blocks and zeroes every field.
void ResetLiveShimInfo(LiveShimInfo& info);

// Reads the flag words and the two blocks of the process; true when all of it was read.
// Under WoW64 the target's 64-bit PEB is read; where the 64-bit reads are missing (as under
// Wine) a 32-bit target's own 32-bit PEB is read instead. A 64-bit target then fails.
bool ReadLiveShimInfo(DWORD processId, LiveShimInfo& info);
