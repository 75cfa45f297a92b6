// Identification of a window's process, with the platform calls it makes.
#pragma once

#include <windows.h>

#include <string>

#include "../common/report_stream.h"

// Records the window's process in CurrentTarget and returns the picker label's text.
std::wstring IdentifyWindow(HWND window);

// Records the process in CurrentTarget and writes to the label what the picker shows below the
// window title: the image path, or why the process could not be opened or named. failureCode
// is the system error code that ends such a message, 0 when the path was found. False when
// the process could not be opened.
bool IdentifyProcess(DWORD processId, ReportStream& label, DWORD& failureCode);

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
