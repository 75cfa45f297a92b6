// Tests of the output pane, the report stream, the banner and the WoW64 answers.
#include <gtest/gtest.h>

#include <new>

#include "../../common/output_pane.h"
#include "../../common/platform_banner.h"
#include "../../common/report_stream.h"
#include "../../common/wow64.h"
#include "dialog_fixture.h"

namespace {

// A pane of the same kind as the dialog's, owned by the test.
class Pane : public ::testing::Test {
protected:
    void SetUp() override {
        pane_ = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_MULTILINE | ES_AUTOHSCROLL, 0, 0,
                                200, 100, NULL, NULL, GetModuleHandleW(NULL), NULL);
        SendMessageW(pane_, EM_LIMITTEXT, 0, 0);
        OutputPane = pane_;
    }
    void TearDown() override {
        DestroyWindow(pane_);
        OutputPane = NULL;
    }
    HWND pane_ = NULL;
};

TEST_F(Pane, AppendAddsItsOwnLineBreakAfterTheText) {
    SetWindowTextW(pane_, L"typed by the user");
    ReportStream stream;
    stream << L"one" << crlf << L"two" << 42 << crlf;
    AppendToOutputPane(stream.str());
    AppendToOutputPane(L"");
    AppendToOutputPane(L"last");
    EXPECT_EQ(WindowText(pane_), L"typed by the userone\r\ntwo42\r\n\r\n\r\nlast\r\n");
}

TEST_F(Pane, BatchedAppendsLeaveTheSameTextWhenTheBatchEnds) {
    SetWindowTextW(pane_, L"typed");
    {
        OutputPaneBatch batch;
        AppendToOutputPane(L"File: a");
        AppendToOutputPane(L"");
        EXPECT_EQ(WindowText(pane_), L"typed");
        SendMessageW(pane_, EM_SETSEL, 0, 2);
    }
    EXPECT_EQ(WindowText(pane_), L"typedFile: a\r\n\r\n");
    // After the batch, appends go straight in again.
    AppendToOutputPane(L"b");
    EXPECT_EQ(WindowText(pane_), L"typedFile: a\r\n\r\nb\r\n");
}

TEST_F(Pane, BatchLeftByAnExceptionStillWritesWhatItCollected) {
    try {
        OutputPaneBatch batch;
        AppendToOutputPane(L"before");
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
    }
    EXPECT_EQ(WindowText(pane_), L"before\r\n");
}

TEST_F(Pane, NestedBatchJoinsTheOuterOne) {
    {
        OutputPaneBatch outer;
        AppendToOutputPane(L"outer");
        {
            OutputPaneBatch inner;
            AppendToOutputPane(L"inner");
        }
        EXPECT_EQ(WindowText(pane_), L"");
        AppendToOutputPane(L"after");
        EXPECT_EQ(WindowText(pane_), L"");
    }
    EXPECT_EQ(WindowText(pane_), L"outer\r\ninner\r\nafter\r\n");
}

TEST_F(Pane, AppendGoesAtTheEndWhateverTheSelection) {
    SetWindowTextW(pane_, L"abcdef");
    SendMessageW(pane_, EM_SETSEL, 1, 3);
    AppendToOutputPane(L"x");
    EXPECT_EQ(WindowText(pane_), L"abcdefx\r\n");
}

TEST_F(Pane, LargeReportsAreNotCutShort) {
    const std::wstring block(70000, L'x');
    AppendToOutputPane(block);
    AppendToOutputPane(block);
    EXPECT_EQ(WindowText(pane_).size(), 2 * (block.size() + 2));
}

TEST(ReportStreamTest, CrlfWritesCarriageReturnAndLineFeedWithoutChangingFormat) {
    ReportStream stream;
    stream << std::hex << 255 << crlf << 16;
    EXPECT_EQ(stream.str(), L"ff\r\n10");
}

// The banner with the version record and the WoW64 answer already known.
TEST_F(Pane, BannerEmptiesThePaneAndWritesTheKnownVersion) {
    VersionLookedUp = true;
    VersionRecord.dwMajorVersion = 10;
    VersionRecord.dwMinorVersion = 0;
    VersionRecord.dwBuildNumber = 19045;
    SelfWow64Known = true;
    SelfWow64 = true;
    SetWindowTextW(pane_, L"an earlier report\r\n");
    WritePlatformBanner();
    EXPECT_EQ(WindowText(pane_), L"Running on 10.0.19045 (WoW64)\r\n");
    SelfWow64 = false;
    WritePlatformBanner();
    EXPECT_EQ(WindowText(pane_), L"Running on 10.0.19045\r\n");
}

std::wstring ExpectedBanner() {
    return L"Running on " + std::to_wstring(VersionRecord.dwMajorVersion) + L"." +
           std::to_wstring(VersionRecord.dwMinorVersion) + L"." +
           std::to_wstring(VersionRecord.dwBuildNumber) + (SelfWow64 ? L" (WoW64)" : L"") + L"\r\n";
}

TEST_F(Pane, FirstBannerAsksTheSystemOnceAndKeepsTheAnswer) {
    VersionLookedUp = false;
    SelfWow64Known = false;
    IsWow64ProcessLookedUp = false;
    WritePlatformBanner();
    ASSERT_TRUE(VersionLookedUp);
    ASSERT_NE(RtlGetVersionEntry, static_cast<RtlGetVersionFn>(NULL));
    EXPECT_EQ(VersionRecord.dwOSVersionInfoSize, 284u);
    EXPECT_NE(VersionRecord.dwMajorVersion, 0u);
    EXPECT_EQ(WindowText(pane_), ExpectedBanner());
    // The record is not asked for again: a changed record shows in the next banner.
    VersionRecord.dwBuildNumber = 1;
    WritePlatformBanner();
    EXPECT_EQ(WindowText(pane_), ExpectedBanner());
}

TEST(Wow64, MissingEntryAnswersFalseAndIsNotLookedUpAgain) {
    IsWow64ProcessLookedUp = true;
    IsWow64ProcessEntry = NULL;
    SelfWow64Known = false;
    EXPECT_FALSE(IsWow64(GetCurrentProcess()));
    EXPECT_FALSE(SelfIsWow64());
    EXPECT_TRUE(SelfWow64Known);
    EXPECT_EQ(IsWow64ProcessEntry, static_cast<IsWow64ProcessFn>(NULL));
    // Computed once: even with the entry back, the own answer stays.
    IsWow64ProcessLookedUp = false;
    EXPECT_FALSE(SelfIsWow64());
}

TEST(Wow64, AnswersAsTheSystemDoes) {
    IsWow64ProcessLookedUp = false;
    IsWow64ProcessEntry = NULL;
    SelfWow64Known = false;
    BOOL expected = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &expected));
    EXPECT_EQ(IsWow64(GetCurrentProcess()), expected != FALSE);
    EXPECT_EQ(SelfIsWow64(), expected != FALSE);
    // A failing call counts as false.
    EXPECT_FALSE(IsWow64(NULL));
}

} // namespace
