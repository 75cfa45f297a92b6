// The process and image path of the last identified target.
#pragma once

#include <windows.h>

#include <string>

// The last identified target: its process id (0 = none) and its image path.
struct TargetRecord {
    DWORD processId;
    std::wstring imagePath;
};

extern TargetRecord CurrentTarget;
