// Identification of a window's process, with the platform calls it makes.
#pragma once

#include <windows.h>

#include <string>

// Records the window's process in CurrentTarget and returns the picker label's text.
std::wstring IdentifyWindow(HWND window);

typedef DWORD(WINAPI* GetWindowThreadProcessIdFn)(HWND window, LPDWORD processId);
typedef HANDLE(WINAPI* OpenProcessFn)(DWORD access, BOOL inherit, DWORD processId);
typedef DWORD(WINAPI* GetModuleFileNameExFn)(HANDLE process, HMODULE module, LPWSTR name,
                                             DWORD size);
typedef BOOL(WINAPI* QueryFullProcessImageNameFn)(HANDLE process, DWORD flags, LPWSTR name,
                                                  PDWORD size);

// The platform functions that identification finds, opens and names a process with. The first
// three start as GetWindowThreadProcessId, OpenProcess and GetModuleFileNameExW; the last is
// looked up in kernel32.dll while it is missing, so it stays null on systems before Vista.
extern GetWindowThreadProcessIdFn GetWindowThreadProcessIdEntry;
extern OpenProcessFn OpenProcessEntry;
extern GetModuleFileNameExFn GetModuleFileNameExEntry;
extern QueryFullProcessImageNameFn QueryFullProcessImageNameEntry;
