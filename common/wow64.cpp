// Answers whether a process, or the tool itself, runs under WoW64.
#include "wow64.h"

#include "entry_point.h"

bool IsWow64ProcessLookedUp = false;
IsWow64ProcessFn IsWow64ProcessEntry = NULL;
bool SelfWow64Known = false;
bool SelfWow64 = false;

bool IsWow64(HANDLE process) {
    const IsWow64ProcessFn query =
        LookUpOnce(IsWow64ProcessLookedUp, IsWow64ProcessEntry, Kernel32Module, "IsWow64Process");
    if (query == NULL) {
        return false;
    }
    BOOL wow64 = FALSE;
    return query(process, &wow64) != 0 && wow64 != FALSE;
}

bool SelfIsWow64() {
    if (!SelfWow64Known) {
        SelfWow64 = IsWow64(GetCurrentProcess());
        SelfWow64Known = true;
    }
    return SelfWow64;
}

bool SystemIs64Bit() {
    return sizeof(void*) == 8 || SelfIsWow64();
}
