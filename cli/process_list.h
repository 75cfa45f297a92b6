// The processes of the machine, as the system's process list gives them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ListedProcess {
    DWORD processId;
    std::wstring imageName; // the file name only, as the list gives it; may be empty
};

// Every listed process, in ascending process id; empty when the list cannot be taken.
std::vector<ListedProcess> ListProcesses();

// The image name that the list gives for the process, or an empty text.
std::wstring ListedImageName(const std::vector<ListedProcess>& processes, DWORD processId);
