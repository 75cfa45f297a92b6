// The state and the message handlers of a window pick.
#pragma once

#include <windows.h>

// A pick is under way: the dialog holds the capture and the desktop is locked.
extern bool Picking;
// The window that is framed on the screen and described in the label; NULL when none.
extern HWND PickTarget;

// Begins a pick from a press on the crosshair.
void StartPick(HWND dialog);

// Follows the window under the cursor; does nothing while it is still the same window.
void TrackHover();

// Ends the pick when the capture has gone to a window other than the dialog, or to none.
void FinishPick(HWND dialog, HWND gainsCapture);
