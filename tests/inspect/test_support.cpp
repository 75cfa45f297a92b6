// The stand-in pane, the fake engine table and the saved read entries of the inspect tests.
#include "test_support.h"

#include <vector>

#include "../../common/output_pane.h"
#include "../../common/wow64.h"
#include "../../inspect/current_target.h"
#include "../../inspect/native_read_api.h"
#include "../../shimreport/apphelp_api.h"

namespace {

HSDB WINAPI FakeInitDatabase(DWORD, LPCWSTR, USHORT) {
    return reinterpret_cast<HSDB>(0x1000);
}
void WINAPI FakeReleaseDatabase(HSDB) {}
BOOL WINAPI FakeNoMatch(HSDB, LPCWSTR, LPCWSTR, LPCWSTR, DWORD, void*) {
    return FALSE;
}

struct SavedReadState {
    bool selfWow64Known;
    bool selfWow64;
    bool isWow64LookedUp;
    IsWow64ProcessFn isWow64Entry;
    bool nativeLookedUp;
    NtQueryInformationProcessFn query;
    NtReadVirtualMemoryFn read;
    bool wow64LookedUp;
    NtWow64QueryInformationProcess64Fn query64;
    NtWow64ReadVirtualMemory64Fn read64;
};
SavedReadState SavedRead;

} // namespace

PaneForTest::PaneForTest() {
    OutputPane =
        CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_MULTILINE | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                        0, 0, 400, 300, NULL, NULL, GetModuleHandleW(NULL), NULL);
    SendMessageW(OutputPane, EM_LIMITTEXT, 0, 0);
    CurrentTarget.processId = 0;
    CurrentTarget.imagePath.clear();
}

PaneForTest::~PaneForTest() {
    DestroyWindow(OutputPane);
    OutputPane = NULL;
}

std::wstring PaneForTest::Text() const {
    const int length = GetWindowTextLengthW(OutputPane);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(OutputPane, &text[0], length + 1);
    return std::wstring(&text[0], static_cast<size_t>(copied));
}

FakeEngineForTest::FakeEngineForTest() {
    ApphelpApi = ApphelpApiTable();
    ApphelpApi.module = GetModuleHandleW(NULL);
    ApphelpApi.SdbInitDatabaseEx = FakeInitDatabase;
    ApphelpApi.SdbReleaseDatabase = FakeReleaseDatabase;
    ApphelpApi.SdbGetMatchingExe = FakeNoMatch;
}

FakeEngineForTest::~FakeEngineForTest() {
    ApphelpApi = ApphelpApiTable();
}

ReadEntriesForTest::ReadEntriesForTest() {
    SelfIsWow64();
    IsWow64(GetCurrentProcess());
    LookUpNativeReadEntries();
    LookUpWow64ReadEntries();
    SavedRead.selfWow64Known = SelfWow64Known;
    SavedRead.selfWow64 = SelfWow64;
    SavedRead.isWow64LookedUp = IsWow64ProcessLookedUp;
    SavedRead.isWow64Entry = IsWow64ProcessEntry;
    SavedRead.nativeLookedUp = NativeReadEntriesLookedUp;
    SavedRead.query = NtQueryInformationProcessEntry;
    SavedRead.read = NtReadVirtualMemoryEntry;
    SavedRead.wow64LookedUp = Wow64ReadEntriesLookedUp;
    SavedRead.query64 = NtWow64QueryInformationProcess64Entry;
    SavedRead.read64 = NtWow64ReadVirtualMemory64Entry;
}

ReadEntriesForTest::~ReadEntriesForTest() {
    SelfWow64Known = SavedRead.selfWow64Known;
    SelfWow64 = SavedRead.selfWow64;
    IsWow64ProcessLookedUp = SavedRead.isWow64LookedUp;
    IsWow64ProcessEntry = SavedRead.isWow64Entry;
    NativeReadEntriesLookedUp = SavedRead.nativeLookedUp;
    NtQueryInformationProcessEntry = SavedRead.query;
    NtReadVirtualMemoryEntry = SavedRead.read;
    Wow64ReadEntriesLookedUp = SavedRead.wow64LookedUp;
    NtWow64QueryInformationProcess64Entry = SavedRead.query64;
    NtWow64ReadVirtualMemory64Entry = SavedRead.read64;
}

std::wstring CompatLayerValue() {
    wchar_t value[256] = {};
    SetLastError(ERROR_SUCCESS);
    if (GetEnvironmentVariableW(L"__COMPAT_LAYER", value, 256) == 0 &&
        GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return L"<absent>";
    }
    return value;
}

std::wstring OwnImagePath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    return std::wstring(path, length);
}
