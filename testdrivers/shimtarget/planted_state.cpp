// Plants shim state into the own PEB: flag words, a packed match and an AppCompatInfo block.
#include "planted_state.h"

#include <cstring>

#include "../../common/entry_point.h"
#include "../../inspect/peb_layout.h"

namespace {

typedef void* HSDB;
typedef HSDB(WINAPI* SdbInitDatabaseExFn)(DWORD flags, LPCWSTR path, USHORT imageType);
typedef void(WINAPI* SdbReleaseDatabaseFn)(HSDB context);
typedef BOOL(WINAPI* SdbGetMatchingExeFn)(HSDB context, LPCWSTR path, LPCWSTR module,
                                          LPCWSTR environment, DWORD flags, void* result);
typedef BOOL(WINAPI* SdbPackAppCompatDataFn)(HSDB context, void* result, PVOID* packed,
                                             DWORD* size);

// This program's image type, as the engine takes it.
const USHORT OwnImageType = sizeof(void*) == 8 ? 0x8664 : 0x14C;

// Under WoW64 the 32-bit TEB's GdiBatchCount holds the address of the thread's 64-bit TEB,
// whose ProcessEnvironmentBlock is the 64-bit PEB that 64-bit readers see.
const size_t Teb32GdiBatchCountOffset = 0xf70;
const size_t Teb64PebOffset = 0x60;
// In the 32-bit thread basic information: exit status, then TebBaseAddress.
const size_t ThreadInfoTebOffset = 4;

typedef LONG(NTAPI* NtQueryInformationProcessFn)(HANDLE process, ULONG infoClass, PVOID info,
                                                 ULONG infoSize, PULONG returnedSize);
typedef LONG(NTAPI* NtQueryInformationThreadFn)(HANDLE thread, ULONG infoClass, PVOID info,
                                                ULONG infoSize, PULONG returnedSize);

// The PEB address of this process, from its basic information.
unsigned char* OwnPeb() {
    const NtQueryInformationProcessFn query =
        FindEntryPoint<NtQueryInformationProcessFn>(NtdllModule, "NtQueryInformationProcess");
    const PebLayout& layout = OwnPebLayout();
    unsigned char basicInfo[48] = {};
    ULONG returned = 0;
    if (query == NULL ||
        query(GetCurrentProcess(), 0, basicInfo, layout.basicInfoSize, &returned) < 0) {
        return NULL;
    }
    unsigned char* peb = NULL;
    std::memcpy(&peb, basicInfo + layout.pebAddressOffset, sizeof peb);
    return peb;
}

// The 64-bit PEB of this 32-bit process under WoW64; null elsewhere.
unsigned char* Wow64Peb() {
    BOOL wow64 = FALSE;
    if (sizeof(void*) == 8 || !IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) {
        return NULL;
    }
    // The TEB's address from the thread's basic information (ThreadBasicInformation, 0).
    const NtQueryInformationThreadFn query =
        FindEntryPoint<NtQueryInformationThreadFn>(NtdllModule, "NtQueryInformationThread");
    unsigned char basicInfo[28] = {};
    if (query == NULL || query(GetCurrentThread(), 0, basicInfo, sizeof basicInfo, NULL) < 0) {
        return NULL;
    }
    const unsigned char* teb = NULL;
    std::memcpy(&teb, basicInfo + ThreadInfoTebOffset, sizeof teb);
    ULONG teb64 = 0;
    std::memcpy(&teb64, teb + Teb32GdiBatchCountOffset, sizeof teb64);
    if (teb64 == 0) {
        return NULL;
    }
    ULONGLONG peb64 = 0;
    std::memcpy(&peb64,
                reinterpret_cast<const unsigned char*>(static_cast<ULONG_PTR>(teb64)) +
                    Teb64PebOffset,
                sizeof peb64);
    // A 32-bit process can only write what lies below 4 GiB.
    return peb64 != 0 && peb64 <= 0xffffffffULL
               ? reinterpret_cast<unsigned char*>(static_cast<ULONG_PTR>(peb64))
               : NULL;
}

// Writes the flag words and the two block addresses into a PEB of the given layout.
void PlantInto(unsigned char* peb, const PebLayout& layout, const unsigned char* shimData,
               const unsigned char* appCompatInfo) {
    const ULONGLONG shimAddress = reinterpret_cast<ULONG_PTR>(shimData);
    const ULONGLONG infoAddress = reinterpret_cast<ULONG_PTR>(appCompatInfo);
    std::memcpy(peb + layout.appCompatFlagsOffset, &PlantedAppCompatFlags, 8);
    std::memcpy(peb + layout.appCompatFlagsUserOffset, &PlantedAppCompatFlagsUser, 8);
    // Both fields are little-endian pointers of the layout's size: the low bytes come first.
    std::memcpy(peb + layout.shimDataOffset, &shimAddress, layout.pointerSize);
    std::memcpy(peb + layout.appCompatInfoOffset, &infoAddress, layout.pointerSize);
}

unsigned char* BlockRegion(HostileKind hostile) {
    // An edge block gets one page of its own.
    const DWORD size = hostile == HostileEdge ? 4096 : PlantedRegionSize;
    return static_cast<unsigned char*>(
        VirtualAlloc(NULL, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

// The stand-in packs the form with the size field at 520 and the record at 528.
void SpoilPacked(unsigned char* shimData, HostileKind hostile) {
    const DWORD allOnes = 0xFFFFFFFF;
    if (hostile == HostileOversized) {
        const DWORD claimed = 0x7FFFFFF0;
        std::memcpy(shimData + 520, &claimed, 4);
    } else if (hostile == HostileCounts) {
        std::memcpy(shimData + 528 + 168, &allOnes, 4); // exe count
        std::memcpy(shimData + 528 + 172, &allOnes, 4); // layer count
        std::memcpy(shimData + 528 + 196, &allOnes, 4); // database map
    }
}

} // namespace

bool PlantShimState(const std::wstring& matchPath, HostileKind hostile, std::wstring& error) {
    const HMODULE apphelp = LoadLibraryExW(L"apphelp.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const SdbInitDatabaseExFn init =
        FindEntryPoint<SdbInitDatabaseExFn>(apphelp, "SdbInitDatabaseEx");
    const SdbReleaseDatabaseFn release =
        FindEntryPoint<SdbReleaseDatabaseFn>(apphelp, "SdbReleaseDatabase");
    const SdbGetMatchingExeFn match =
        FindEntryPoint<SdbGetMatchingExeFn>(apphelp, "SdbGetMatchingExe");
    const SdbPackAppCompatDataFn pack =
        FindEntryPoint<SdbPackAppCompatDataFn>(apphelp, "SdbPackAppCompatData");
    if (apphelp == NULL || init == NULL || release == NULL || match == NULL || pack == NULL) {
        error = L"the prefix has no stand-in apphelp.dll";
        return false;
    }
    unsigned char result[456] = {};
    const HSDB context = init(0, NULL, OwnImageType);
    match(context, matchPath.c_str(), NULL, NULL, 0, result);
    PVOID packed = NULL;
    DWORD packedSize = 0;
    const BOOL packedOk = pack(context, result, &packed, &packedSize);
    release(context);
    if (!packedOk || packed == NULL || packedSize > PlantedRegionSize) {
        error = L"SdbPackAppCompatData failed";
        return false;
    }
    unsigned char* shimData = BlockRegion(hostile);
    unsigned char* appCompatInfo = BlockRegion(hostile);
    if (shimData == NULL || appCompatInfo == NULL) {
        error = L"VirtualAlloc failed";
        return false;
    }
    if (hostile != HostileUnmapped) {
        std::memcpy(shimData, packed, packedSize);
        SpoilPacked(shimData, hostile);
        const DWORD infoSize = hostile == HostileEdge ? 4096 : PlantedRegionSize;
        for (DWORD i = 0; i < infoSize; ++i) {
            appCompatInfo[i] = static_cast<unsigned char>(i % 251);
        }
    }
    HeapFree(GetProcessHeap(), 0, packed);
    unsigned char* peb = OwnPeb();
    if (peb == NULL) {
        error = L"the PEB address could not be queried";
        return false;
    }
    if (hostile == HostileUnmapped) {
        // The first 64 KiB of an address space are never mapped, on Windows as under Wine,
        // whose reads of reserved memory succeed.
        shimData = reinterpret_cast<unsigned char*>(0x1000);
        appCompatInfo = reinterpret_cast<unsigned char*>(0x2000);
    }
    PlantInto(peb, OwnPebLayout(), shimData, appCompatInfo);
    unsigned char* peb64 = Wow64Peb();
    if (peb64 != NULL) {
        PlantInto(peb64, Peb64Layout, shimData, appCompatInfo);
    }
    return true;
}
