// The program's entry: checks elevation and runs the main dialog.
#include <windows.h>

#include "../resources/resource.h"
#include "admin_check.h"
#include "main_dialog.h"

// The command line is ignored; the dialog's result is the exit code: 0 after a close, 1 after an
// elevated relaunch, -1 when the dialog cannot be created.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    AppInstance = instance;
    IsAdmin = IsRunningAsAdmin();
    return static_cast<int>(
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, 0));
}
