// The processes of the machine, as the system's process list gives them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ListedProcess {
    DWORD processId;
    std::wstring imageName; // the file name only, as the list gives it; may be empty
};

typedef HANDLE(WINAPI* CreateToolhelp32SnapshotFn)(DWORD flags, DWORD processId);

// The call that takes the list; CreateToolhelp32Snapshot unless a test replaces it.
extern CreateToolhelp32SnapshotFn CreateToolhelp32SnapshotEntry;

// Every listed process, in ascending process id. False, with the system's error code, when the
// list cannot be taken; processes is empty then.
bool ListProcesses(std::vector<ListedProcess>& processes, DWORD& error);

// Whether the list holds the process.
bool IsListed(const std::vector<ListedProcess>& processes, DWORD processId);

// The image name that the list gives for the process, or an empty text.
std::wstring ListedImageName(const std::vector<ListedProcess>& processes, DWORD processId);
