#pragma once

#include <windows.h>

// Closes an opened file on every way out.
struct FileHolder {
    HANDLE handle = INVALID_HANDLE_VALUE;
    FileHolder() = default;
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;
    ~FileHolder() {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};
