#include "native_read_api.h"

#include "../app/entry_point.h"

bool NativeReadEntriesLookedUp = false;
NtQueryInformationProcessFn NtQueryInformationProcessEntry = NULL;
NtReadVirtualMemoryFn NtReadVirtualMemoryEntry = NULL;

bool Wow64ReadEntriesLookedUp = false;
NtWow64QueryInformationProcess64Fn NtWow64QueryInformationProcess64Entry = NULL;
NtWow64ReadVirtualMemory64Fn NtWow64ReadVirtualMemory64Entry = NULL;

namespace {

template <typename Entry> Entry NtdllEntry(const char* name) {
    return EntryPoint<Entry>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name));
}

} // namespace

void LookUpNativeReadEntries() {
    if (NativeReadEntriesLookedUp) {
        return;
    }
    NativeReadEntriesLookedUp = true;
    NtQueryInformationProcessEntry =
        NtdllEntry<NtQueryInformationProcessFn>("NtQueryInformationProcess");
    NtReadVirtualMemoryEntry = NtdllEntry<NtReadVirtualMemoryFn>("NtReadVirtualMemory");
}

void LookUpWow64ReadEntries() {
    if (Wow64ReadEntriesLookedUp) {
        return;
    }
    Wow64ReadEntriesLookedUp = true;
    NtWow64QueryInformationProcess64Entry =
        NtdllEntry<NtWow64QueryInformationProcess64Fn>("NtWow64QueryInformationProcess64");
    NtWow64ReadVirtualMemory64Entry =
        NtdllEntry<NtWow64ReadVirtualMemory64Fn>("NtWow64ReadVirtualMemory64");
}
