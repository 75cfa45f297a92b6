// The shim state of a running process: the PEB decoding and the remote read.
#pragma once

#include <windows.h>

#include <vector>

#include "peb_layout.h"

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

// The shim engine's fields of a PEB: the flag words and where the two blocks lie.
struct PebFields {
    ULONGLONG appCompatFlags;
    ULONGLONG appCompatFlagsUser;
    ULONGLONG shimDataAddress;
    ULONGLONG appCompatInfoAddress;
};

// The PEB's address from the basic information record of the layout; 0 when the record is
// shorter than the layout's.
ULONGLONG DecodePebAddress(const unsigned char* basicInfo, size_t size, const PebLayout& layout);

// Picks the fields out of the bytes of a PEB of the layout; false, leaving the fields alone,
// when the bytes are fewer than the layout reads.
bool DecodePebFields(const unsigned char* peb, size_t size, const PebLayout& layout,
                     PebFields& fields);

// Frees both blocks and zeroes every field.
void ResetLiveShimInfo(LiveShimInfo& info);

// Reads the flag words and the two blocks of the process; true when all of it was read.
// Under WoW64 the target's 64-bit PEB is read; where the 64-bit reads are missing (as under
// Wine) a 32-bit target's own 32-bit PEB is read instead. A 64-bit target then fails.
bool ReadLiveShimInfo(DWORD processId, LiveShimInfo& info);
