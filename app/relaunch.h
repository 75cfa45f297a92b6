// The elevated relaunch and the platform calls it makes.
#pragma once

#include <windows.h>
#include <shellapi.h>

typedef DWORD(WINAPI* ModuleFileNameFn)(HMODULE module, LPWSTR path, DWORD size);
typedef BOOL(WINAPI* ShellExecuteExFn)(SHELLEXECUTEINFOW* info);

// The two platform calls of the relaunch; tests put recording stand-ins here.
extern ModuleFileNameFn ModuleFileNameEntry;
extern ShellExecuteExFn ShellExecuteExEntry;

// The elevation command: starts the tool's own executable with the verb "runas" and ends the
// dialog with 1 when that worked. A path that fills the whole buffer may be cut short, so it is
// not launched; then, as on every failure, nothing happens.
void RelaunchElevated(HWND dialog);
