// Starts the tool again elevated and ends this instance when the start is accepted.
#include "relaunch.h"

ModuleFileNameFn ModuleFileNameEntry = GetModuleFileNameW;
ShellExecuteExFn ShellExecuteExEntry = ShellExecuteExW;

void RelaunchElevated(HWND dialog) {
    const DWORD capacity = 520;
    wchar_t path[capacity];
    const DWORD length = ModuleFileNameEntry(NULL, path, capacity);
    if (length == 0 || length >= capacity) {
        return;
    }
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.hwnd = dialog;
    info.lpVerb = L"runas";
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExEntry(&info)) {
        EndDialog(dialog, 1);
    }
}
