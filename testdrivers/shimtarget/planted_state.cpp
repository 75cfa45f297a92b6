#include "planted_state.h"

#include <cstring>

namespace {

typedef void* HSDB;
typedef HSDB(WINAPI* SdbInitDatabaseExFn)(DWORD flags, LPCWSTR path, USHORT imageType);
typedef void(WINAPI* SdbReleaseDatabaseFn)(HSDB context);
typedef BOOL(WINAPI* SdbGetMatchingExeFn)(HSDB context, LPCWSTR path, LPCWSTR module,
                                          LPCWSTR environment, DWORD flags, void* result);
typedef BOOL(WINAPI* SdbPackAppCompatDataFn)(HSDB context, void* result, PVOID* packed,
                                             DWORD* size);

// Offsets of the shim fields in the 32-bit PEB.
const size_t AppCompatFlagsOffset = 0x1d8;
const size_t AppCompatFlagsUserOffset = 0x1e0;
const size_t ShimDataOffset = 0x1e8;
const size_t AppCompatInfoOffset = 0x1ec;

template <typename Entry> Entry EntryOf(HMODULE module, const char* name) {
    return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

typedef LONG(NTAPI* NtQueryInformationProcessFn)(HANDLE process, ULONG infoClass, PVOID info,
                                                 ULONG infoSize, PULONG returnedSize);

// The PEB address of this 32-bit process, from its basic information.
unsigned char* OwnPeb() {
    const NtQueryInformationProcessFn query = EntryOf<NtQueryInformationProcessFn>(
        GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess");
    unsigned char basicInfo[24] = {};
    ULONG returned = 0;
    if (query == NULL || query(GetCurrentProcess(), 0, basicInfo, 24, &returned) < 0) {
        return NULL;
    }
    unsigned char* peb = NULL;
    std::memcpy(&peb, basicInfo + 4, sizeof peb);
    return peb;
}

unsigned char* CommittedRegion() {
    return static_cast<unsigned char*>(
        VirtualAlloc(NULL, PlantedRegionSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

} // namespace

bool PlantShimState(const std::wstring& matchPath, std::wstring& error) {
    const HMODULE apphelp = LoadLibraryExW(L"apphelp.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const SdbInitDatabaseExFn init = EntryOf<SdbInitDatabaseExFn>(apphelp, "SdbInitDatabaseEx");
    const SdbReleaseDatabaseFn release =
        EntryOf<SdbReleaseDatabaseFn>(apphelp, "SdbReleaseDatabase");
    const SdbGetMatchingExeFn match = EntryOf<SdbGetMatchingExeFn>(apphelp, "SdbGetMatchingExe");
    const SdbPackAppCompatDataFn pack =
        EntryOf<SdbPackAppCompatDataFn>(apphelp, "SdbPackAppCompatData");
    if (apphelp == NULL || init == NULL || release == NULL || match == NULL || pack == NULL) {
        error = L"the prefix has no stand-in apphelp.dll";
        return false;
    }
    unsigned char result[456] = {};
    const HSDB context = init(0, NULL, 0x14C);
    match(context, matchPath.c_str(), NULL, NULL, 0, result);
    PVOID packed = NULL;
    DWORD packedSize = 0;
    const BOOL packedOk = pack(context, result, &packed, &packedSize);
    release(context);
    if (!packedOk || packed == NULL || packedSize > PlantedRegionSize) {
        error = L"SdbPackAppCompatData failed";
        return false;
    }
    unsigned char* shimData = CommittedRegion();
    unsigned char* appCompatInfo = CommittedRegion();
    if (shimData == NULL || appCompatInfo == NULL) {
        error = L"VirtualAlloc failed";
        return false;
    }
    std::memcpy(shimData, packed, packedSize);
    HeapFree(GetProcessHeap(), 0, packed);
    for (DWORD i = 0; i < PlantedRegionSize; ++i) {
        appCompatInfo[i] = static_cast<unsigned char>(i % 251);
    }
    unsigned char* peb = OwnPeb();
    if (peb == NULL) {
        error = L"the PEB address could not be queried";
        return false;
    }
    std::memcpy(peb + AppCompatFlagsOffset, &PlantedAppCompatFlags, 8);
    std::memcpy(peb + AppCompatFlagsUserOffset, &PlantedAppCompatFlagsUser, 8);
    std::memcpy(peb + ShimDataOffset, &shimData, 4);
    std::memcpy(peb + AppCompatInfoOffset, &appCompatInfo, 4);
    return true;
}
