// The crosshair pick: capture, the frame around the window under the cursor, the report on release.
#include "window_picker.h"

#include <string>

#include "../inspect/identify_window.h"
#include "../inspect/report_driver.h"
#include "highlight_frame.h"
#include "main_dialog.h"
#include "../common/platform_banner.h"

bool Picking = false;
HWND PickTarget = NULL;

void StartPick(HWND dialog) {
    WritePlatformBanner();
    RECT icon;
    if (GetWindowRect(CrosshairIcon, &icon)) {
        SetCursorPos(icon.left + (icon.right - icon.left) / 2,
                     icon.top + (icon.bottom - icon.top) / 2);
    }
    Picking = true;
    LockWindowUpdate(GetDesktopWindow());
    SetCapture(dialog);
    SetCursor(CrosshairCursor);
    PickTarget = NULL;
    TrackHover();
}

void TrackHover() {
    POINT cursor;
    if (!GetCursorPos(&cursor)) {
        return;
    }
    HWND window = WindowFromPoint(cursor);
    if (window == PickTarget) {
        return;
    }
    if (PickTarget != NULL) {
        ToggleHighlight(PickTarget);
    }
    ToggleHighlight(window);
    PickTarget = window;
    const std::wstring label = IdentifyWindow(window);
    SetWindowTextW(TargetLabel, label.c_str());
}

void FinishPick(HWND dialog, HWND gainsCapture) {
    const bool wasPicking = Picking;
    Picking = gainsCapture == dialog;
    if (!wasPicking || Picking) {
        return;
    }
    if (PickTarget != NULL) {
        ToggleHighlight(PickTarget);
    }
    PickTarget = NULL;
    LockWindowUpdate(NULL);
    ReportProcess();
}
