// Tests of the file and process reports with a fake engine.
#include <gtest/gtest.h>

#include <map>
#include <new>
#include <string>
#include <vector>

#include "../../common/output_pane.h"
#include "../../inspect/current_target.h"
#include "../../inspect/redirection_revert.h"
#include "../../inspect/report_driver.h"
#include "../../shimreport/apphelp_api.h"
#include "test_support.h"

namespace {

// What the fakes saw, in call order.
std::vector<std::wstring> Events;
std::map<DWORD, std::wstring> StoredLayers; // by flag; a missing flag answers zero
bool LayerQueryThrows = false;
bool RedirectionOff = false;
PVOID const DisableCookie = reinterpret_cast<PVOID>(0x5a5a);

BOOL WINAPI RecordingMatch(HSDB, LPCWSTR path, LPCWSTR, LPCWSTR, DWORD, void*) {
    Events.push_back(L"match " + std::wstring(path) + L" layer=" + CompatLayerValue() +
                     (RedirectionOff ? L" redirection off" : L" redirection on"));
    return FALSE;
}

BOOL WINAPI FakeLayerKeys(LPCWSTR path, LPWSTR layers, DWORD* size, DWORD flags) {
    if (LayerQueryThrows) {
        throw std::bad_alloc();
    }
    bool zeroed = true;
    for (int i = 0; i < 257; ++i) {
        zeroed = zeroed && layers[i] == L'\0';
    }
    Events.push_back(L"layers " + std::wstring(path) + L" flags=" + std::to_wstring(flags) +
                     L" size=" + std::to_wstring(*size) + (zeroed ? L" zeroed" : L" dirty"));
    const auto stored = StoredLayers.find(flags);
    if (stored == StoredLayers.end()) {
        return FALSE;
    }
    stored->second.copy(layers, stored->second.size());
    return TRUE;
}

BOOL WINAPI FakeDisable(PVOID* cookie) {
    *cookie = DisableCookie;
    RedirectionOff = true;
    return TRUE;
}

BOOL WINAPI FakeRevert(PVOID cookie) {
    Events.push_back(std::wstring(L"revert ") + (cookie == DisableCookie ? L"cookie" : L"other") +
                     L" layer=" + CompatLayerValue());
    RedirectionOff = false;
    return TRUE;
}

class ReportDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        Events.clear();
        StoredLayers.clear();
        LayerQueryThrows = false;
        RedirectionOff = false;
        ApphelpApi.SdbGetMatchingExe = RecordingMatch;
        ApphelpApi.SdbGetPermLayerKeys = FakeLayerKeys;
        Wow64DisableWow64FsRedirectionEntry = FakeDisable;
        Wow64RevertWow64FsRedirectionEntry = FakeRevert;
        SetEnvironmentVariableW(L"__COMPAT_LAYER", NULL);
    }
    void TearDown() override {
        Wow64DisableWow64FsRedirectionEntry = NULL;
        Wow64RevertWow64FsRedirectionEntry = NULL;
        SetEnvironmentVariableW(L"__COMPAT_LAYER", NULL);
    }

    PaneForTest pane;
    FakeEngineForTest engine;
};

TEST_F(ReportDriverTest, FileReportShowsHeaderMatchAndBothStoredLayerBlocks) {
    StoredLayers[1] = L"WIN95";
    StoredLayers[2] = L"~ RUNASADMIN";
    ReportFile(L"C:\\apps\\tool.exe");
    EXPECT_EQ(L"File: C:\\apps\\tool.exe\r\n\r\nSdbGetMatchingExe:\r\nNo match\r\n"
              L"\r\nHKCU\\...\\Layers:\r\nWIN95\r\n"
              L"\r\nHKLM\\...\\Layers:\r\n~ RUNASADMIN\r\n\r\n",
              pane.Text());
    EXPECT_EQ((std::vector<std::wstring>{L"match C:\\apps\\tool.exe layer=<absent> redirection off",
                                         L"layers C:\\apps\\tool.exe flags=1 size=256 zeroed",
                                         L"layers C:\\apps\\tool.exe flags=2 size=256 zeroed",
                                         L"revert cookie layer=<absent>"}),
              Events);
}

TEST_F(ReportDriverTest, EmptyLayerStringLeavesAnEmptyLineAndFailedQueriesLeaveNoBlock) {
    StoredLayers[2] = L"";
    ReportFile(L"C:\\a.exe");
    EXPECT_EQ(L"File: C:\\a.exe\r\n\r\nSdbGetMatchingExe:\r\nNo match\r\n"
              L"\r\nHKLM\\...\\Layers:\r\n\r\n\r\n",
              pane.Text());
}

TEST_F(ReportDriverTest, EngineWithoutLayerQueryShowsNoLayerBlock) {
    ApphelpApi.SdbGetPermLayerKeys = NULL;
    ReportFile(L"C:\\a.exe");
    EXPECT_EQ(L"File: C:\\a.exe\r\n\r\nSdbGetMatchingExe:\r\nNo match\r\n\r\n", pane.Text());
}

TEST_F(ReportDriverTest, FileReportForgetsTheProcessOfAnEarlierPick) {
    CurrentTarget.processId = GetCurrentProcessId();
    CurrentTarget.imagePath = L"C:\\picked.exe";
    ReportFile(L"C:\\a.exe");
    EXPECT_EQ(0u, CurrentTarget.processId);
    EXPECT_EQ(L"File: C:\\a.exe\r\n\r\nSdbGetMatchingExe:\r\nNo match\r\n\r\n", pane.Text());
}

TEST_F(ReportDriverTest, ProcessReportAfterFailedIdentificationRunsOnTheEmptyPath) {
    ReportProcess();
    EXPECT_EQ(L"Process: \r\n\r\nSdbGetMatchingExe:\r\nNo match\r\n\r\n", pane.Text());
    EXPECT_EQ(L"match  layer=<absent> redirection off", Events.at(0));
}

TEST_F(ReportDriverTest, ProcessThatHasEndedCannotBeRead) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    std::wstring commandLine = L"\"" + OwnImagePath() + L"\" --gtest_list_tests";
    ASSERT_TRUE(CreateProcessW(NULL, &commandLine[0], NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL,
                               NULL, &startup, &child));
    WaitForSingleObject(child.hProcess, 60000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    CurrentTarget.processId = child.dwProcessId;
    CurrentTarget.imagePath = L"C:\\gone.exe";
    ReportProcess();
    EXPECT_EQ(L"Process: C:\\gone.exe\r\n\r\nSdbGetMatchingExe:\r\nNo match\r\n"
              L"Could not read remote shim info\r\n\r\n",
              pane.Text());
    EXPECT_EQ(child.dwProcessId, CurrentTarget.processId);
}

TEST_F(ReportDriverTest, CompatLayerIsAbsentDuringTheReportAndRestoredAsItWas) {
    ReportFile(L"C:\\a.exe");
    EXPECT_EQ(L"<absent>", CompatLayerValue());

    SetEnvironmentVariableW(L"__COMPAT_LAYER", L"WINXPSP3 RUNASINVOKER");
    ReportFile(L"C:\\b.exe");
    EXPECT_EQ(L"WINXPSP3 RUNASINVOKER", CompatLayerValue());

    SetEnvironmentVariableW(L"__COMPAT_LAYER", L"");
    ReportProcess();
    EXPECT_EQ(L"", CompatLayerValue());

    EXPECT_EQ(L"match C:\\a.exe layer=<absent> redirection off", Events.at(0));
    EXPECT_EQ(L"match C:\\b.exe layer=<absent> redirection off", Events.at(4));
    EXPECT_EQ(L"match  layer=<absent> redirection off", Events.at(8));
}

TEST_F(ReportDriverTest, ReportLeftByAnExceptionRevertsRedirectionThenRestoresCompatLayer) {
    SetEnvironmentVariableW(L"__COMPAT_LAYER", L"WINXPSP3");
    LayerQueryThrows = true;
    EXPECT_THROW(ReportFile(L"C:\\a.exe"), std::bad_alloc);
    EXPECT_EQ(L"WINXPSP3", CompatLayerValue());
    EXPECT_EQ((std::vector<std::wstring>{L"match C:\\a.exe layer=<absent> redirection off",
                                         L"revert cookie layer=<absent>"}),
              Events);
    EXPECT_FALSE(RedirectionOff);
}

} // namespace
