// Tests of the picker label: title line, image path and each failure.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "../../inspect/current_target.h"
#include "../../inspect/identify_window.h"
#include "test_support.h"

// The program's allocations, made to behave as a heap under pressure may: while armed, each
// allocation changes the thread's last error, and the next one can be made to fail.
bool AllocationsSetLastError = false;
bool FailNextAllocation = false;
std::size_t LargestAllocation = 0;

void* operator new(std::size_t size) {
    LargestAllocation = size > LargestAllocation ? size : LargestAllocation;
    if (FailNextAllocation) {
        FailNextAllocation = false;
        throw std::bad_alloc();
    }
    if (AllocationsSetLastError) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    void* memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

int QueryCalls = 0;
DWORD OpenedId = 0;
HANDLE OpenedProcess = NULL;

DWORD WINAPI VanishedWindowThreadProcessId(HWND, LPDWORD) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
}
HANDLE WINAPI RecordingOpen(DWORD access, BOOL inherit, DWORD processId) {
    OpenedId = processId;
    OpenedProcess = OpenProcess(access, inherit, processId);
    return OpenedProcess;
}
// Finds the path, then the allocation that keeps it fails.
DWORD WINAPI ModuleNameOutOfMemory(HANDLE process, HMODULE module, LPWSTR name, DWORD size) {
    const DWORD written = GetModuleFileNameExW(process, module, name, size);
    FailNextAllocation = true;
    return written;
}

HANDLE WINAPI FailingOpen(DWORD, BOOL, DWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return NULL;
}
DWORD WINAPI FailingModuleName(HANDLE, HMODULE, LPWSTR, DWORD) {
    SetLastError(ERROR_PARTIAL_COPY);
    return 0;
}
DWORD WINAPI OverlongModuleName(HANDLE, HMODULE, LPWSTR name, DWORD size) {
    for (DWORD i = 0; i < size; ++i) {
        name[i] = L'x';
    }
    return size;
}
BOOL WINAPI CountingQuery(HANDLE, DWORD flags, LPWSTR name, PDWORD size) {
    ++QueryCalls;
    if (flags != 0 || *size != 1040) {
        return FALSE;
    }
    const std::wstring path = L"C:\\from\\query.exe";
    path.copy(name, path.size());
    *size = static_cast<DWORD>(path.size());
    return TRUE;
}
BOOL WINAPI FailingQuery(HANDLE, DWORD, LPWSTR, PDWORD) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

// A window that claims a title of 2^31 - 1 characters, fills whatever room it is given and
// claims to have copied the whole of it.
LRESULT CALLBACK BoastfulTitle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT claimed = 0x7FFFFFFF;
    if (message == WM_GETTEXTLENGTH) {
        return claimed;
    }
    if (message == WM_GETTEXT) {
        wchar_t* text = reinterpret_cast<wchar_t*>(lParam);
        for (WPARAM i = 0; i + 1 < wParam; ++i) {
            text[i] = L'x';
        }
        if (wParam > 0) {
            text[wParam - 1] = L'\0';
        }
        return claimed;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class IdentifyWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                 GetModuleHandleW(NULL), NULL);
        QueryCalls = 0;
        CurrentTarget.processId = 0;
        CurrentTarget.imagePath = L"left over";
    }
    void TearDown() override {
        AllocationsSetLastError = false;
        FailNextAllocation = false;
        DestroyWindow(window);
        GetWindowThreadProcessIdEntry = GetWindowThreadProcessId;
        OpenProcessEntry = OpenProcess;
        GetModuleFileNameExEntry = SavedModuleName;
        QueryFullProcessImageNameEntry = NULL;
    }
    HWND window = NULL;
    const GetModuleFileNameExFn SavedModuleName = GetModuleFileNameExEntry;
};

TEST_F(IdentifyWindowTest, LabelIsTitleLineThenImagePathAndTargetIsRecorded) {
    SetWindowTextW(window, L"Main window");
    EXPECT_EQ(L"Main window\r\n" + OwnImagePath(), IdentifyWindow(window));
    EXPECT_EQ(GetCurrentProcessId(), CurrentTarget.processId);
    EXPECT_EQ(OwnImagePath(), CurrentTarget.imagePath);
}

TEST_F(IdentifyWindowTest, TitleIsCutAtItsFirstLineBreakOfEitherKind) {
    SetWindowTextW(window, L"first\nsecond\r\nthird");
    EXPECT_EQ(L"first\r\n" + OwnImagePath(), IdentifyWindow(window));
    SetWindowTextW(window, L"one\rtwo");
    EXPECT_EQ(L"one\r\n" + OwnImagePath(), IdentifyWindow(window));
}

TEST_F(IdentifyWindowTest, EmptyTitleLeavesAnEmptyFirstLine) {
    EXPECT_EQ(L"\r\n" + OwnImagePath(), IdentifyWindow(window));
}

TEST_F(IdentifyWindowTest, NoWindowClearsTheTargetAndTheLabel) {
    CurrentTarget.processId = 1234;
    EXPECT_EQ(L"", IdentifyWindow(NULL));
    EXPECT_EQ(0u, CurrentTarget.processId);
    EXPECT_EQ(L"", CurrentTarget.imagePath);
}

TEST_F(IdentifyWindowTest, ProcessThatCannotBeOpenedKeepsItsIdWithoutPath) {
    SetWindowTextW(window, L"Locked");
    OpenProcessEntry = FailingOpen;
    EXPECT_EQ(L"Locked\r\nError opening proc: 5", IdentifyWindow(window));
    EXPECT_EQ(GetCurrentProcessId(), CurrentTarget.processId);
    EXPECT_EQ(L"", CurrentTarget.imagePath);
}

TEST_F(IdentifyWindowTest, ImageNameQueryIsAskedOnlyAfterTheModuleQueryFailed) {
    QueryFullProcessImageNameEntry = CountingQuery;
    IdentifyWindow(window);
    EXPECT_EQ(0, QueryCalls);

    GetModuleFileNameExEntry = FailingModuleName;
    EXPECT_EQ(L"\r\nC:\\from\\query.exe", IdentifyWindow(window));
    EXPECT_EQ(1, QueryCalls);
    EXPECT_EQ(L"C:\\from\\query.exe", CurrentTarget.imagePath);
}

TEST_F(IdentifyWindowTest, BothQueriesFailingShowTheSecondError) {
    GetModuleFileNameExEntry = FailingModuleName;
    QueryFullProcessImageNameEntry = FailingQuery;
    EXPECT_EQ(L"\r\nError reading proc name: 87", IdentifyWindow(window));
    EXPECT_EQ(L"", CurrentTarget.imagePath);
}

TEST_F(IdentifyWindowTest, ModuleQueryFailingFallsBackToTheSystemsImageNameQuery) {
    GetModuleFileNameExEntry = FailingModuleName;
    EXPECT_EQ(L"\r\n" + OwnImagePath(), IdentifyWindow(window));
    EXPECT_NE(nullptr, QueryFullProcessImageNameEntry);
}

TEST_F(IdentifyWindowTest, StoredPathNeverExceedsTheBuffer) {
    GetModuleFileNameExEntry = OverlongModuleName;
    IdentifyWindow(window);
    EXPECT_EQ(std::wstring(1040, L'x'), CurrentTarget.imagePath);
}

TEST_F(IdentifyWindowTest, WindowGoneBeforeItsProcessIsAskedLeavesNoEarlierTarget) {
    SetWindowTextW(window, L"Closing");
    IdentifyWindow(window);
    ASSERT_EQ(GetCurrentProcessId(), CurrentTarget.processId);

    GetWindowThreadProcessIdEntry = VanishedWindowThreadProcessId;
    OpenProcessEntry = RecordingOpen;
    OpenedId = 1234;
    const std::wstring label = IdentifyWindow(window);
    EXPECT_EQ(0u, OpenedId);
    EXPECT_EQ(0u, CurrentTarget.processId);
    EXPECT_EQ(L"", CurrentTarget.imagePath);
    EXPECT_EQ(0u, label.rfind(L"Closing\r\nError opening proc: ", 0)) << label;
}

// Whatever the title's length, and so whatever the label's text has to allocate, the code shown
// is the failed call's.
TEST_F(IdentifyWindowTest, ErrorCodesAreThoseOfTheFailedCallsWhateverTheTitle) {
    AllocationsSetLastError = true;
    for (size_t length = 0; length <= 1100; ++length) {
        SetWindowTextW(window, std::wstring(length, L't').c_str());
        const std::wstring title = std::wstring(length, L't') + L"\r\n";
        OpenProcessEntry = FailingOpen;
        ASSERT_EQ(title + L"Error opening proc: 5", IdentifyWindow(window)) << length;
        OpenProcessEntry = OpenProcess;
        GetModuleFileNameExEntry = FailingModuleName;
        QueryFullProcessImageNameEntry = FailingQuery;
        ASSERT_EQ(title + L"Error reading proc name: 87", IdentifyWindow(window)) << length;
        GetModuleFileNameExEntry = SavedModuleName;
    }
}

TEST_F(IdentifyWindowTest, TitleLengthTheWindowClaimsNeverSizesAnAllocation) {
    WNDCLASSW boastful = {};
    boastful.lpfnWndProc = BoastfulTitle;
    boastful.hInstance = GetModuleHandleW(NULL);
    boastful.lpszClassName = L"QuilletBoastfulTitle";
    RegisterClassW(&boastful);
    const HWND hostile = CreateWindowExW(0, boastful.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10,
                                         NULL, NULL, GetModuleHandleW(NULL), NULL);
    ASSERT_NE(static_cast<HWND>(NULL), hostile);
    ASSERT_EQ(0x7FFFFFFF, GetWindowTextLengthW(hostile));
    LargestAllocation = 0;
    std::wstring label;
    EXPECT_NO_THROW(label = IdentifyWindow(hostile));
    EXPECT_LT(LargestAllocation, 65536u);
    EXPECT_EQ(std::wstring(2047, L'x') + L"\r\n" + OwnImagePath(), label);
    EXPECT_EQ(GetCurrentProcessId(), CurrentTarget.processId);
    DestroyWindow(hostile);
    UnregisterClassW(boastful.lpszClassName, GetModuleHandleW(NULL));
}

TEST_F(IdentifyWindowTest, ProcessIsClosedWhenThePathCannotBeKept) {
    OpenProcessEntry = RecordingOpen;
    GetModuleFileNameExEntry = ModuleNameOutOfMemory;
    EXPECT_THROW(IdentifyWindow(window), std::bad_alloc);
    ASSERT_NE(static_cast<HANDLE>(NULL), OpenedProcess);
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(OpenedProcess, &flags));
}

} // namespace
