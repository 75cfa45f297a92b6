// The target program that live tests start and read.
#pragma once

#include <windows.h>

#include <string>

// The Windows path of shimtarget.exe.
std::wstring TargetProgramPath();

// The Windows path of the other architecture's shimtarget.exe.
std::wstring OtherTargetProgramPath();

// A shimtarget.exe child process, killed at the end of the test. Started with the given
// arguments, by default the build's own shimtarget.exe; ready once it has shown its window.
class TargetProcess {
public:
    explicit TargetProcess(const std::wstring& arguments,
                           const std::wstring& program = TargetProgramPath());
    ~TargetProcess();
    TargetProcess(const TargetProcess&) = delete;
    TargetProcess& operator=(const TargetProcess&) = delete;

    bool Ready() const { return window != NULL; }
    HWND Window() const { return window; }
    DWORD ProcessId() const { return process.dwProcessId; }

private:
    PROCESS_INFORMATION process;
    HWND window;
};
