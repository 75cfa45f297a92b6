// Looks up the ntdll entries that read another process's memory.
#include "native_read_api.h"

#include "../common/entry_point.h"

bool NativeReadEntriesLookedUp = false;
NtQueryInformationProcessFn NtQueryInformationProcessEntry = NULL;
NtReadVirtualMemoryFn NtReadVirtualMemoryEntry = NULL;

bool Wow64ReadEntriesLookedUp = false;
NtWow64QueryInformationProcess64Fn NtWow64QueryInformationProcess64Entry = NULL;
NtWow64ReadVirtualMemory64Fn NtWow64ReadVirtualMemory64Entry = NULL;

void LookUpNativeReadEntries() {
    if (FirstLookUp(NativeReadEntriesLookedUp)) {
        NtQueryInformationProcessEntry =
            FindEntryPoint<NtQueryInformationProcessFn>(NtdllModule, "NtQueryInformationProcess");
        NtReadVirtualMemoryEntry =
            FindEntryPoint<NtReadVirtualMemoryFn>(NtdllModule, "NtReadVirtualMemory");
    }
}

void LookUpWow64ReadEntries() {
    if (FirstLookUp(Wow64ReadEntriesLookedUp)) {
        NtWow64QueryInformationProcess64Entry = FindEntryPoint<NtWow64QueryInformationProcess64Fn>(
            NtdllModule, "NtWow64QueryInformationProcess64");
        NtWow64ReadVirtualMemory64Entry =
            FindEntryPoint<NtWow64ReadVirtualMemory64Fn>(NtdllModule, "NtWow64ReadVirtualMemory64");
    }
}
