#pragma once

#include <windows.h>

#include <string>

// Records the window's process in CurrentTarget and returns the picker label's text.
std::wstring IdentifyWindow(HWND window);
