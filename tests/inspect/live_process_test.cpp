#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "../../inspect/current_target.h"
#include "../../inspect/identify_window.h"
#include "../../inspect/report_driver.h"
#include "../../shimreport/match_executable.h"
#include "target_process.h"
#include "test_support.h"

namespace {

// The dump of shimtarget's AppCompatInfo block (byte i % 251 at offset i), written out here
// independently of the tool's own dump routine.
std::wstring PlantedInfoDump() {
    std::wstring dump;
    wchar_t piece[8];
    for (unsigned offset = 0; offset < 16384; offset += 16) {
        std::swprintf(piece, 8, L"%04x ", offset);
        dump += piece;
        std::wstring text;
        for (unsigned i = offset; i < offset + 16; ++i) {
            const unsigned byte = i % 251;
            std::swprintf(piece, 8, L"%02x ", byte);
            dump += piece;
            text += byte >= 0x20 && byte <= 0x7e ? static_cast<wchar_t>(byte) : L'.';
        }
        dump += text + L"\r\n";
    }
    return dump;
}

class LiveProcessTest : public ::testing::Test {
protected:
    PaneForTest pane;
};

TEST_F(LiveProcessTest, IdentifiesTheTargetsWindowWithItsTitleCutAtTheLineBreak) {
    TargetProcess target(L"--nothing --title \"First line\\nsecond line\"");
    ASSERT_TRUE(target.Ready());
    const std::wstring label = IdentifyWindow(target.Window());
    EXPECT_EQ(target.ProcessId(), CurrentTarget.processId);
    EXPECT_EQ(L"First line\r\n" + CurrentTarget.imagePath, label);
    EXPECT_EQ(0, _wcsicmp(TargetProgramPath().c_str(), CurrentTarget.imagePath.c_str()))
        << CurrentTarget.imagePath;
}

TEST_F(LiveProcessTest, WindowWithAnEmptyTitleGivesAnEmptyFirstLine) {
    TargetProcess target(L"--nothing --title \"\"");
    ASSERT_TRUE(target.Ready());
    const std::wstring label = IdentifyWindow(target.Window());
    EXPECT_EQ(L"\r\n" + CurrentTarget.imagePath, label);
    EXPECT_FALSE(CurrentTarget.imagePath.empty());
}

TEST_F(LiveProcessTest, ProcessWithPlantedStateReportsFlagsShimDataAndTheWholeInfoBlock) {
    TargetProcess target(L"");
    ASSERT_TRUE(target.Ready());
    IdentifyWindow(target.Window());
    ReportProcess();
    const std::wstring path = CurrentTarget.imagePath;
    EXPECT_EQ(L"Process: " + path +
                  L"\r\n\r\nSdbGetMatchingExe:\r\nNo match\r\n"
                  L"\r\nLive info:\r\nAppCompatFlags: 0x400\r\nAppCompatFlags: 0x1000000002\r\n"
                  L"AppCompatInfo:\r\n" +
                  PlantedInfoDump() + L"\r\n",
              pane.Text());
}

TEST_F(LiveProcessTest, ProcessWithNothingPlantedSaysSo) {
    TargetProcess target(L"--nothing");
    ASSERT_TRUE(target.Ready());
    IdentifyWindow(target.Window());
    ReportProcess();
    EXPECT_EQ(L"Process: " + CurrentTarget.imagePath +
                  L"\r\n\r\nSdbGetMatchingExe:\r\nNo match\r\n"
                  L"\r\nNo info found in process, not shimmed or running on 2k3!\r\n\r\n",
              pane.Text());
}

} // namespace
