// Draws and erases the inverted frame around the window under the crosshair.
#include "highlight_frame.h"

#include "main_dialog.h"

bool FrameDrawn = false;
HWND FramedWindow = NULL;
RECT DrawnFrame = {0, 0, 0, 0};

namespace {

// Inverts a 3-pixel outline on the desktop; drawing the same rectangle twice restores it.
bool InvertFrame(const RECT& frame) {
    HDC screen = GetDCEx(GetDesktopWindow(), NULL, DCX_WINDOW | DCX_CACHE | DCX_LOCKWINDOWUPDATE);
    if (screen == NULL) {
        return false;
    }
    const int oldMode = SetROP2(screen, R2_NOTXORPEN);
    HGDIOBJ oldPen = SelectObject(screen, HighlightPen);
    HGDIOBJ oldBrush = SelectObject(screen, GetStockObject(NULL_BRUSH));
    SetBkColor(screen, RGB(0, 0, 0));
    Rectangle(screen, frame.left, frame.top, frame.right, frame.bottom);
    SetROP2(screen, oldMode);
    SelectObject(screen, oldPen);
    SelectObject(screen, oldBrush);
    ReleaseDC(GetDesktopWindow(), screen);
    return true;
}

} // namespace

void ToggleHighlight(HWND window) {
    if (FrameDrawn) {
        FrameDrawn = false;
        InvertFrame(DrawnFrame);
        if (window == FramedWindow) {
            return;
        }
    }
    RECT frame;
    if (window == NULL || !GetWindowRect(window, &frame)) {
        return;
    }
    if (InvertFrame(frame)) {
        FrameDrawn = true;
        FramedWindow = window;
        DrawnFrame = frame;
    }
}
