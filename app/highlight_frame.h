// The frame that marks the window under the crosshair during a pick.
#pragma once

#include <windows.h>

// The inverted frame on the screen: whether one is drawn, the window it was drawn for and its
// rectangle as drawn. Erasing inverts exactly that rectangle again, so no frame is left behind
// when the window moves, changes size or goes away during a pick.
extern bool FrameDrawn;
extern HWND FramedWindow;
extern RECT DrawnFrame;

// Draws the frame around the window (frame and caption included), or erases it when that
// window is the one framed. Only one frame is ever on the screen: drawing another erases the
// first. Nothing is drawn when the rectangle or the desktop's device context cannot be had.
void ToggleHighlight(HWND window);
