// The main dialog's process-wide state and procedure.
#pragma once

#include <windows.h>

// Process-wide state of the one main dialog, set at start-up and set-up.
extern HINSTANCE AppInstance;
extern HWND CrosshairIcon;
extern HWND TargetLabel;
extern HWND ElevateButton; // NULL when the button is hidden
extern HCURSOR CrosshairCursor;
extern HPEN HighlightPen;

typedef BOOL(WINAPI* ChangeWindowMessageFilterFn)(UINT message, DWORD flag);

// ChangeWindowMessageFilter of user32, looked up at the first set-up; NULL when absent.
extern bool MessageFilterLookedUp;
extern ChangeWindowMessageFilterFn MessageFilterEntry;

// Set-up on WM_INITDIALOG: controls, elevation button, pane, cursor, pen, drop target, layout.
void InitMainDialog(HWND dialog);

// The dialog procedure; returns FALSE for every message so that default processing runs too.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
