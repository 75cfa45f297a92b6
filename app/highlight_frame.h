#pragma once

#include <windows.h>

// Whether an inverted frame is on the screen, and its rectangle as it was drawn.
extern bool FrameDrawn;
extern RECT DrawnFrame;

// Draws the inverted frame around the window, frame and caption included; nothing when its
// rectangle or the desktop's device context cannot be had. A frame already drawn is erased
// first.
void DrawHighlight(HWND window);

// Erases the frame on the screen, if any: exactly the rectangle that was drawn, wherever its
// window is now and whether it still exists.
void EraseHighlight();
