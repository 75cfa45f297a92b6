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

// Hostile variants of the planted state, for the tests of a sweep over such processes.
enum HostileKind {
    HostileNone,
    HostileOversized, // the packed block's size field claims about 2 GiB
    HostileCounts,    // the packed record's entry counts and database map are all ones
    HostileUnmapped,  // both block pointers point into the never mapped first 64 KiB
    HostileEdge,      // each block fills a single committed page at the end of its allocation
};

// Packs the result of matching matchPath with the stand-in engine of the prefix and plants it,
// the two flag words and the AppCompatInfo block into this process's PEB, and under WoW64 into
// its 64-bit PEB as well. The match is made for this program's own image type. On failure
// returns false with the reason in error. A hostile kind then spoils what was planted.
bool PlantShimState(const std::wstring& matchPath, HostileKind hostile, std::wstring& error);
