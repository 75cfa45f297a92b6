// Tests of the window pick: start, capture, frame and release.
#include <gtest/gtest.h>

#include "../../app/highlight_frame.h"
#include "../../app/main_dialog.h"
#include "../../common/output_pane.h"
#include "../../app/window_picker.h"
#include "../../resources/resource.h"
#include "dialog_fixture.h"

namespace {

class Picker : public ::testing::Test {
protected:
    void SetUp() override {
        Picking = false;
        PickTarget = NULL;
    }
    void TearDown() override {
        if (GetCapture() != NULL) {
            ReleaseCapture();
        }
        LockWindowUpdate(NULL);
        if (FrameDrawn) {
            ToggleHighlight(FramedWindow);
        }
        Picking = false;
        PickTarget = NULL;
    }
    MainDialogFixture fixture_{true};
};

POINT CentreOf(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    POINT centre = {rect.left + (rect.right - rect.left) / 2,
                    rect.top + (rect.bottom - rect.top) / 2};
    return centre;
}

TEST_F(Picker, PressOnTheCrosshairStartsAPickAtItsCentre) {
    const POINT centre = CentreOf(CrosshairIcon);
    POINT press = centre;
    ScreenToClient(fixture_.dialog(), &press);
    SendMessageW(fixture_.dialog(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(press.x, press.y));
    EXPECT_TRUE(Picking);
    EXPECT_EQ(GetCapture(), fixture_.dialog());
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, centre.x);
    EXPECT_EQ(cursor.y, centre.y);
    // The first target is the window under the crosshair's centre: the crosshair itself.
    EXPECT_EQ(PickTarget, WindowFromPoint(centre));
    EXPECT_EQ(WindowText(OutputPane).rfind(L"Running on ", 0), 0u);

    // The release hands the capture back, and the pick ends through WM_CAPTURECHANGED.
    SendMessageW(fixture_.dialog(), WM_LBUTTONUP, 0, MAKELPARAM(press.x, press.y));
    EXPECT_FALSE(Picking);
    EXPECT_EQ(PickTarget, static_cast<HWND>(NULL));
    EXPECT_EQ(GetCapture(), static_cast<HWND>(NULL));
}

TEST_F(Picker, PressDuringAPickLeavesNoFrameBehind) {
    POINT press = CentreOf(CrosshairIcon);
    ScreenToClient(fixture_.dialog(), &press);
    SendMessageW(fixture_.dialog(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(press.x, press.y));
    ASSERT_TRUE(FrameDrawn);
    AppendToOutputPane(L"during the pick");
    // The release was lost: the next press arrives while the pick is still under way.
    SendMessageW(fixture_.dialog(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(press.x, press.y));
    EXPECT_TRUE(Picking);
    EXPECT_TRUE(FrameDrawn);
    EXPECT_NE(WindowText(OutputPane).find(L"during the pick"), std::wstring::npos);

    SendMessageW(fixture_.dialog(), WM_LBUTTONUP, 0, MAKELPARAM(press.x, press.y));
    EXPECT_FALSE(Picking);
    EXPECT_FALSE(FrameDrawn);
}

TEST_F(Picker, PressesElsewhereStartNoPick) {
    const int others[] = {IDC_TARGET, IDC_OUTPUT};
    for (int id : others) {
        POINT press = CentreOf(GetDlgItem(fixture_.dialog(), id));
        ScreenToClient(fixture_.dialog(), &press);
        MainDialogProc(fixture_.dialog(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(press.x, press.y));
        EXPECT_FALSE(Picking) << id;
    }
    MainDialogProc(fixture_.dialog(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 3));
    EXPECT_FALSE(Picking);
    EXPECT_EQ(WindowText(OutputPane), L"Or drop files to test them.");
}

TEST_F(Picker, CaptureMovingWithinTheDialogKeepsThePick) {
    Picking = true;
    PickTarget = CrosshairIcon;
    FinishPick(fixture_.dialog(), fixture_.dialog());
    EXPECT_TRUE(Picking);
    EXPECT_EQ(PickTarget, CrosshairIcon);
    // Any other window taking the capture ends it, the same way as a release.
    FinishPick(fixture_.dialog(), TargetLabel);
    EXPECT_FALSE(Picking);
    EXPECT_EQ(PickTarget, static_cast<HWND>(NULL));
}

TEST_F(Picker, CaptureChangesOutsideAPickDoNothing) {
    PickTarget = CrosshairIcon;
    FinishPick(fixture_.dialog(), NULL);
    EXPECT_FALSE(Picking);
    EXPECT_EQ(PickTarget, CrosshairIcon);
    EXPECT_EQ(WindowText(OutputPane), L"Or drop files to test them.");
}

TEST_F(Picker, HoverOverTheSameWindowChangesNothing) {
    PickTarget = WindowFromPoint(CentreOf(CrosshairIcon));
    SetCursorPos(CentreOf(CrosshairIcon).x, CentreOf(CrosshairIcon).y);
    SetWindowTextW(TargetLabel, L"kept");
    TrackHover();
    EXPECT_EQ(WindowText(TargetLabel), L"kept");
    // Moving onto another window makes it the target and asks for its description.
    SetCursorPos(CentreOf(OutputPane).x, CentreOf(OutputPane).y);
    TrackHover();
    EXPECT_EQ(PickTarget, OutputPane);
    EXPECT_NE(WindowText(TargetLabel), L"kept");
}

bool SameRect(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}

TEST_F(Picker, FrameIsErasedWhereItWasDrawn) {
    RECT dialogRect;
    GetWindowRect(fixture_.dialog(), &dialogRect);
    ToggleHighlight(fixture_.dialog());
    ASSERT_TRUE(FrameDrawn);
    EXPECT_EQ(FramedWindow, fixture_.dialog());
    EXPECT_TRUE(SameRect(DrawnFrame, dialogRect));
    // A second window: the first frame goes, the new one is recorded.
    RECT paneRect;
    GetWindowRect(OutputPane, &paneRect);
    ToggleHighlight(OutputPane);
    EXPECT_TRUE(FrameDrawn);
    EXPECT_EQ(FramedWindow, OutputPane);
    EXPECT_TRUE(SameRect(DrawnFrame, paneRect));
    // The window moves; toggling it again erases the rectangle as drawn, not the new one.
    SetWindowPos(OutputPane, NULL, 3, 3, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ToggleHighlight(OutputPane);
    EXPECT_FALSE(FrameDrawn);
    // The next toggle draws again.
    ToggleHighlight(OutputPane);
    EXPECT_TRUE(FrameDrawn);
    ToggleHighlight(OutputPane);
    EXPECT_FALSE(FrameDrawn);
}

TEST_F(Picker, NoFrameForNoWindowOrAWindowThatHasGone) {
    ToggleHighlight(NULL);
    EXPECT_FALSE(FrameDrawn);
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                GetModuleHandleW(NULL), NULL);
    DestroyWindow(gone);
    ToggleHighlight(gone);
    EXPECT_FALSE(FrameDrawn);
}

} // namespace
