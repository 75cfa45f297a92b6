// Tests of the elevated relaunch with recording stand-ins for the platform calls.
#include <gtest/gtest.h>

#include <string>

#include "../../app/admin_check.h"
#include "../../app/main_dialog.h"
#include "../../app/relaunch.h"
#include "../../resources/resource.h"

namespace {

// What the stand-ins for the two platform calls see and answer.
DWORD PathLength = 0;
int LaunchCalls = 0;
BOOL LaunchResult = FALSE;
SHELLEXECUTEINFOW Launched;
std::wstring LaunchedVerb;
std::wstring LaunchedFile;
HWND RunningDialog = NULL;

DWORD WINAPI FakeModuleFileName(HMODULE, LPWSTR path, DWORD size) {
    const DWORD length = PathLength < size ? PathLength : size;
    for (DWORD i = 0; i < length; ++i) {
        path[i] = L'a';
    }
    if (length < size) {
        path[length] = L'\0';
    }
    return length;
}

BOOL WINAPI FakeShellExecuteEx(SHELLEXECUTEINFOW* info) {
    ++LaunchCalls;
    Launched = *info;
    LaunchedVerb = info->lpVerb != NULL ? info->lpVerb : L"";
    LaunchedFile = info->lpFile != NULL ? info->lpFile : L"";
    return LaunchResult;
}

// Runs the real dialog modally; once it is up, presses the elevation button, then, if the
// dialog is still there, closes it with IDCANCEL.
INT_PTR CALLBACK PressElevate(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        RunningDialog = dialog;
        PostMessageW(dialog, WM_COMMAND, IDC_ELEVATE, 0);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return MainDialogProc(dialog, message, wParam, lParam);
}

INT_PTR RunDialogPressingElevate() {
    AppInstance = GetModuleHandleW(NULL);
    IsAdmin = false;
    return DialogBoxParamW(AppInstance, MAKEINTRESOURCEW(IDD_MAIN), NULL, PressElevate, 0);
}

class Relaunch : public ::testing::Test {
protected:
    void SetUp() override {
        ModuleFileNameEntry = FakeModuleFileName;
        ShellExecuteExEntry = FakeShellExecuteEx;
        LaunchCalls = 0;
        LaunchResult = FALSE;
        PathLength = 40;
    }
    void TearDown() override {
        ModuleFileNameEntry = GetModuleFileNameW;
        ShellExecuteExEntry = ShellExecuteExW;
    }
};

TEST_F(Relaunch, AcceptedLaunchEndsTheDialogWithOne) {
    LaunchResult = TRUE;
    EXPECT_EQ(RunDialogPressingElevate(), 1);
    ASSERT_EQ(LaunchCalls, 1);
    // The launch record of the build under test: 60 bytes for 32-bit, 112 for 64-bit Windows.
    EXPECT_EQ(Launched.cbSize, sizeof(void*) == 8 ? 112u : 60u);
    EXPECT_EQ(Launched.fMask, 0u);
    EXPECT_EQ(Launched.hwnd, RunningDialog);
    EXPECT_EQ(LaunchedVerb, L"runas");
    EXPECT_EQ(LaunchedFile, std::wstring(40, L'a'));
    EXPECT_EQ(Launched.lpParameters, static_cast<LPCWSTR>(NULL));
    EXPECT_EQ(Launched.lpDirectory, static_cast<LPCWSTR>(NULL));
    EXPECT_EQ(Launched.nShow, SW_SHOWNORMAL);
}

TEST_F(Relaunch, RefusedLaunchLeavesTheDialogOpen) {
    EXPECT_EQ(RunDialogPressingElevate(), 0);
    EXPECT_EQ(LaunchCalls, 1);
}

TEST_F(Relaunch, NoModulePathLaunchesNothing) {
    PathLength = 0;
    EXPECT_EQ(RunDialogPressingElevate(), 0);
    EXPECT_EQ(LaunchCalls, 0);
}

TEST_F(Relaunch, PathThatFillsTheBufferIsNotLaunched) {
    LaunchResult = TRUE;
    PathLength = 519;
    EXPECT_EQ(RunDialogPressingElevate(), 1);
    EXPECT_EQ(LaunchedFile.size(), 519u);
    LaunchCalls = 0;
    // A path of 520 characters or more fills the buffer and may be cut short.
    PathLength = 600;
    EXPECT_EQ(RunDialogPressingElevate(), 0);
    EXPECT_EQ(LaunchCalls, 0);
}

} // namespace
