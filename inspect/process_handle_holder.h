#pragma once

#include <windows.h>

// Owns a process handle, null when the open failed, and closes it on every way out of the
// scope, exceptions included.
class ProcessHandleHolder {
public:
    explicit ProcessHandleHolder(HANDLE process) : process_(process) {}
    ~ProcessHandleHolder() {
        if (process_ != NULL) {
            CloseHandle(process_);
        }
    }
    ProcessHandleHolder(const ProcessHandleHolder&) = delete;
    ProcessHandleHolder& operator=(const ProcessHandleHolder&) = delete;

    HANDLE Handle() const { return process_; }

private:
    HANDLE process_;
};
