#pragma once

#include <windows.h>

#include <string>

// The multi-line edit control that shows every report (control 1001 of the main dialog).
extern HWND OutputPane;

// Appends the text at the very end of the pane, followed by a line break of its own.
void AppendToOutputPane(const std::wstring& text);
