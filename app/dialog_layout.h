// The layout of the main dialog's controls.
#pragma once

#include <windows.h>

// Places the crosshair, the label, the elevation button (when shown) and the pane in the
// client area, in one deferred batch.
void LayoutMainDialog(HWND dialog);
