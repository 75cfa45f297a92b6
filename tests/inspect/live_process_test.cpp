// Tests that read a running target program with planted shim state.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "../../common/wow64.h"
#include "../../inspect/current_target.h"
#include "../../inspect/identify_window.h"
#include "../../inspect/live_shim_report.h"
#include "../../inspect/native_read_api.h"
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

// What the live-state block shows of a target that planted the packed match of cadwriter.exe:
// the same entries as a match of the file, printed by a stream left hexadecimal by the flags.
std::wstring PlantedMatchBlock() {
    ReportStream match;
    match << std::hex;
    MatchExecutable(L"C:\\quillet-samples\\cadwriter.exe", match);
    const std::wstring text = match.str();
    return L"\r\nLive info:\r\nAppCompatFlags: 0x400\r\nAppCompatFlags: 0x1000000002\r\n" +
           text.substr(text.find(L"EXE: ")) + L"AppCompatInfo:\r\n" + PlantedInfoDump();
}

// A target of each architecture carries a packed match made for its own image type. The
// 64-bit tool reads the 64-bit PEB of either; the 32-bit tool under Wine reads a 32-bit
// target's own PEB, but lacks the WoW64 reads of a 64-bit target's memory.
TEST_F(LiveProcessTest, PlantedMatchReadsBackFromATargetOfEitherArchitecture) {
    const std::wstring match = L"--match C:\\quillet-samples\\cadwriter.exe";
    {
        TargetProcess own(match);
        ASSERT_TRUE(own.Ready());
        IdentifyWindow(own.Window());
        ReportStream live;
        WriteLiveShimInfo(live);
        EXPECT_EQ(PlantedMatchBlock(), live.str());
    }
#if !OTHER_TARGET_RUNS
    GTEST_SKIP() << "the 32-bit target needs 32-bit programs, which this host cannot run";
#endif
    TargetProcess other(match, OtherTargetProgramPath());
    ASSERT_TRUE(other.Ready());
    IdentifyWindow(other.Window());
    ReportStream live;
    WriteLiveShimInfo(live);
    LookUpWow64ReadEntries();
    if (sizeof(void*) == 4 && NtWow64QueryInformationProcess64Entry == NULL) {
        EXPECT_EQ(L"Could not read remote shim info\r\n", live.str());
    } else {
        EXPECT_EQ(PlantedMatchBlock(), live.str());
    }
}

} // namespace
