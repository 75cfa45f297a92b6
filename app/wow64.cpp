#include "wow64.h"

#include "entry_point.h"

bool IsWow64ProcessLookedUp = false;
IsWow64ProcessFn IsWow64ProcessEntry = NULL;
bool SelfWow64Known = false;
bool SelfWow64 = false;

bool IsWow64(HANDLE process) {
    if (!IsWow64ProcessLookedUp) {
        IsWow64ProcessLookedUp = true;
        IsWow64ProcessEntry = EntryPoint<IsWow64ProcessFn>(
            GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process"));
    }
    if (IsWow64ProcessEntry == NULL) {
        return false;
    }
    BOOL wow64 = FALSE;
    return IsWow64ProcessEntry(process, &wow64) != 0 && wow64 != FALSE;
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
