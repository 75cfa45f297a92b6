// The handling of files dropped on the main dialog.
#pragma once

#include <windows.h>
#include <shellapi.h>

// Handles one WM_DROPFILES: the banner once, then a file report for every usable path in the
// drop's order; releases the drop.
void HandleDroppedFiles(HWND dialog, HDROP drop);
