// Lays out the main dialog's controls for its client size.
#include "dialog_layout.h"

#include "main_dialog.h"
#include "../common/output_pane.h"

namespace {

const int Margin = 6;
const int Square = 34;
const int ButtonWidth = 32;
const UINT PlaceFlags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

HDWP Place(HDWP batch, HWND control, int x, int y, int width, int height) {
    if (batch == NULL) {
        return NULL;
    }
    return DeferWindowPos(batch, control, NULL, x, y, width, height, PlaceFlags);
}

} // namespace

void LayoutMainDialog(HWND dialog) {
    HDWP batch = BeginDeferWindowPos(ElevateButton != NULL ? 4 : 3);
    RECT area;
    GetClientRect(dialog, &area);
    InflateRect(&area, -Margin, -Margin);

    const int labelLeft = area.left + Square + Margin;
    int labelRight = area.right;
    if (ElevateButton != NULL) {
        labelRight -= ButtonWidth + Margin;
    }
    batch = Place(batch, CrosshairIcon, area.left, area.top, Square, Square);
    batch = Place(batch, TargetLabel, labelLeft, area.top, labelRight - labelLeft, Square);
    if (ElevateButton != NULL) {
        batch = Place(batch, ElevateButton, labelRight + Margin, area.top, ButtonWidth, Square);
    }
    const int paneTop = area.top + Square + Margin;
    batch =
        Place(batch, OutputPane, area.left, paneTop, area.right - area.left, area.bottom - paneTop);
    if (batch != NULL) {
        EndDeferWindowPos(batch);
    }
}
