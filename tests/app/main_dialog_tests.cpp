// Tests of the main dialog: its layout elevated or not, its set-up and its teardown.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "../../app/main_dialog.h"
#include "../../common/output_pane.h"
#include "../../resources/resource.h"
#include "dialog_fixture.h"

namespace {

std::vector<std::pair<UINT, DWORD>> Admitted;

BOOL WINAPI RecordAdmission(UINT message, DWORD flag) {
    Admitted.push_back(std::make_pair(message, flag));
    return TRUE;
}

void ExpectRect(const RECT& rect, int x, int y, int width, int height) {
    EXPECT_EQ(rect.left, x);
    EXPECT_EQ(rect.top, y);
    EXPECT_EQ(rect.right - rect.left, width);
    EXPECT_EQ(rect.bottom - rect.top, height);
}

TEST(MainDialog, NotElevatedShowsTheButtonAndNarrowsTheLabel) {
    MainDialogFixture fixture(false);
    ASSERT_NE(fixture.dialog(), static_cast<HWND>(NULL));
    EXPECT_EQ(ElevateButton, GetDlgItem(fixture.dialog(), IDC_ELEVATE));
    EXPECT_TRUE(IsWindowVisible(ElevateButton));
    const int sizes[][2] = {{400, 300}, {640, 200}, {100, 80}};
    for (const auto& size : sizes) {
        const int width = size[0];
        const int height = size[1];
        SCOPED_TRACE(width);
        const SIZE reached = fixture.SetClientSize(width, height);
        ASSERT_EQ(reached.cx, width);
        ASSERT_EQ(reached.cy, height);
        ExpectRect(fixture.ControlRect(IDC_FINDER), 6, 6, 34, 34);
        ExpectRect(fixture.ControlRect(IDC_TARGET), 46, 6, width - 90, 34);
        ExpectRect(fixture.ControlRect(IDC_ELEVATE), width - 38, 6, 32, 34);
        ExpectRect(fixture.ControlRect(IDC_OUTPUT), 6, 46, width - 12, height - 52);
    }
    // At a client width of 100 the label is 10 wide and the button starts at 62.
    EXPECT_EQ(fixture.ControlRect(IDC_TARGET).right - fixture.ControlRect(IDC_TARGET).left, 10);
    EXPECT_EQ(fixture.ControlRect(IDC_ELEVATE).left, 62);
}

TEST(MainDialog, ElevatedHidesTheButtonAndLeavesItOutOfTheLayout) {
    MainDialogFixture fixture(true);
    EXPECT_EQ(ElevateButton, static_cast<HWND>(NULL));
    HWND button = GetDlgItem(fixture.dialog(), IDC_ELEVATE);
    EXPECT_FALSE(IsWindowVisible(button));
    const RECT before = fixture.ControlRect(IDC_ELEVATE);
    fixture.SetClientSize(500, 260);
    ExpectRect(fixture.ControlRect(IDC_TARGET), 46, 6, 448, 34);
    ExpectRect(fixture.ControlRect(IDC_OUTPUT), 6, 46, 488, 208);
    const RECT after = fixture.ControlRect(IDC_ELEVATE);
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.top, after.top);
}

TEST(MainDialog, SetUpFillsTheControlsAndLoadsCursorAndPen) {
    MainDialogFixture fixture(true);
    EXPECT_EQ(OutputPane, GetDlgItem(fixture.dialog(), IDC_OUTPUT));
    EXPECT_EQ(CrosshairIcon, GetDlgItem(fixture.dialog(), IDC_FINDER));
    EXPECT_EQ(TargetLabel, GetDlgItem(fixture.dialog(), IDC_TARGET));
    EXPECT_EQ(WindowText(OutputPane), L"Or drop files to test them.");
    EXPECT_EQ(WindowText(TargetLabel), L"Drag the crosshair over a window to select it");
    // The pane's length limit is lifted: far more than the default 32767 characters fit.
    EXPECT_GT(static_cast<DWORD>(SendMessageW(OutputPane, EM_GETLIMITTEXT, 0, 0)), 0x10000u);
    ASSERT_NE(CrosshairCursor, static_cast<HCURSOR>(NULL));
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(CrosshairCursor, &info));
    EXPECT_EQ(info.xHotspot, 16u);
    EXPECT_EQ(info.yHotspot, 16u);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    LOGPEN pen;
    ASSERT_EQ(GetObjectW(HighlightPen, sizeof pen, &pen), static_cast<int>(sizeof pen));
    EXPECT_EQ(pen.lopnStyle, static_cast<UINT>(PS_SOLID));
    EXPECT_EQ(pen.lopnWidth.x, 3);
    EXPECT_EQ(pen.lopnColor, RGB(0, 0, 0));
    EXPECT_NE(GetWindowLongW(fixture.dialog(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
}

TEST(MainDialog, DestroyWithdrawsTheDropRegistration) {
    MainDialogFixture fixture(true);
    // Only the tool's own handler runs here; the window itself goes at the end of the test.
    MainDialogProc(fixture.dialog(), WM_DESTROY, 0, 0);
    EXPECT_EQ(GetWindowLongW(fixture.dialog(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
}

TEST(MainDialog, SetUpAdmitsDropMessagesWhetherElevatedOrNot) {
    const std::vector<std::pair<UINT, DWORD>> expected = {{0x0233, 1}, {0x004A, 1}, {0x0049, 1}};
    for (bool admin : {false, true}) {
        MessageFilterLookedUp = true;
        MessageFilterEntry = RecordAdmission;
        Admitted.clear();
        MainDialogFixture fixture(admin);
        EXPECT_EQ(Admitted, expected) << admin;
    }
    // Without the entry nothing is called and set-up still completes.
    MessageFilterEntry = NULL;
    Admitted.clear();
    MainDialogFixture fixture(true);
    EXPECT_TRUE(Admitted.empty());
    EXPECT_EQ(WindowText(OutputPane), L"Or drop files to test them.");
}

} // namespace
