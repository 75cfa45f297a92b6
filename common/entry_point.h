// Run-time lookup of optional entry points: the module names, the cast, and the two caching rules.
#pragma once

#include <windows.h>

// The one spelling of each system module whose entries the tool looks up. Each is loaded in
// every process that runs the tool, so a lookup never loads a library.
const wchar_t* const Kernel32Module = L"kernel32.dll";
const wchar_t* const NtdllModule = L"ntdll.dll";
const wchar_t* const User32Module = L"user32.dll";

// Gives an address found by GetProcAddress the function type it has. The detour through a
// plain function pointer type keeps the cast between function types free of warnings.
template <typename Function> Function EntryPoint(FARPROC address) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

typedef FARPROC(WINAPI* EntryFinderFn)(HMODULE module, LPCSTR name);

// The entry of a module by its handle; null when the module or the entry is missing. The finder
// is GetProcAddress unless a test puts its own in.
template <typename Function>
Function FindEntryPoint(HMODULE module, const char* name, EntryFinderFn find = GetProcAddress) {
    return EntryPoint<Function>(find(module, name));
}

// The entry of a module loaded in every process by its name, as spelled above.
template <typename Function> Function FindEntryPoint(const wchar_t* module, const char* name) {
    return FindEntryPoint<Function>(GetModuleHandleW(module), name);
}

// True at the first call for a flag, false ever after: guards lookups done once, missing or not.
inline bool FirstLookUp(bool& lookedUp) {
    const bool first = !lookedUp;
    lookedUp = true;
    return first;
}

// Looked up once: the first call decides, and a missing entry stays null for good.
template <typename Function>
Function LookUpOnce(bool& lookedUp, Function& entry, const wchar_t* module, const char* name) {
    if (FirstLookUp(lookedUp)) {
        entry = FindEntryPoint<Function>(module, name);
    }
    return entry;
}

// Looked up again at every call while missing; found once, it is kept.
template <typename Function>
Function LookUpWhileMissing(Function& entry, const wchar_t* module, const char* name) {
    if (entry == NULL) {
        entry = FindEntryPoint<Function>(module, name);
    }
    return entry;
}
