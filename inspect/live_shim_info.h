// The read of the shim state out of a running process.
#pragma once

#include <windows.h>

#include "live_shim_state.h"

// Frees both blocks and zeroes every field.
void ResetLiveShimInfo(LiveShimInfo& info);

// Reads the flag words and the two blocks of the process; true when all of it was read.
// Under WoW64 the target's 64-bit PEB is read; where the 64-bit reads are missing (as under
// Wine) a 32-bit target's own 32-bit PEB is read instead. A 64-bit target then fails.
bool ReadLiveShimInfo(DWORD processId, LiveShimInfo& info);
