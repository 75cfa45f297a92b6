// startup_baseline.exe: the start-up that Quillet.exe is measured against. It shows Quillet's
// dialog template with its manifest and imports from shell32, advapi32 and gdi32 as Quillet
// does, so that the loader maps the same system modules but psapi; it does nothing else.
#include <windows.h>
#include <shellapi.h>

#include "resource.h"

namespace {

// Taken, never called: each address makes its library an import.
typedef void (*AnyFunction)();
volatile AnyFunction Imports[] = {reinterpret_cast<AnyFunction>(&DragAcceptFiles),
                                  reinterpret_cast<AnyFunction>(&CheckTokenMembership),
                                  reinterpret_cast<AnyFunction>(&CreatePen)};

INT_PTR CALLBACK BaselineDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 0);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    return static_cast<int>(
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), NULL, BaselineDialogProc, 0));
}
