// The shim state the target program plants into its own PEB.
#pragma once

#include <windows.h>

#include <string>

// What shimtarget plants into its own PEB, so that tests can expect it exactly.
const ULONGLONG PlantedAppCompatFlags = 0x400;
const ULONGLONG PlantedAppCompatFlagsUser = 0x1000000002ULL;
// Both blocks sit at the start of committed 16 KiB regions of their own, so that every read
// size that the tool tries succeeds. The AppCompatInfo region holds byte i % 251 at offset i.
const DWORD PlantedRegionSize = 16384;

// Packs the result of matching matchPath with the stand-in engine of the prefix and plants it,
// the two flag words and the AppCompatInfo block into this process's PEB, and under WoW64 into
// its 64-bit PEB as well. The match is made for this program's own image type. On failure
// returns false with the reason in error.
bool PlantShimState(const std::wstring& matchPath, std::wstring& error);
