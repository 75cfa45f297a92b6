// Starts the target program for a test and stops it again.
#include "target_process.h"

#include <cstdlib>

#if !defined(SHIMTARGET_EXE) || !defined(OTHER_SHIMTARGET_EXE)
#error SHIMTARGET_EXE and OTHER_SHIMTARGET_EXE name the built shimtarget.exe programs
#endif

namespace {

// The build names a program by its path on the build host; under Wine that is drive Z:.
std::wstring WindowsPathOfBuilt(const std::string& built) {
    std::wstring path(built.begin(), built.end());
    if (!path.empty() && path[0] == L'/') {
        path = L"Z:" + path;
    }
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

} // namespace

std::wstring TargetProgramPath() {
    return WindowsPathOfBuilt(SHIMTARGET_EXE);
}

std::wstring OtherTargetProgramPath() {
    return WindowsPathOfBuilt(OTHER_SHIMTARGET_EXE);
}

TargetProcess::TargetProcess(const std::wstring& arguments, const std::wstring& program)
    : process(), window(NULL) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE readEnd = NULL;
    HANDLE writeEnd = NULL;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        return;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    const BOOL started = CreateProcessW(NULL, &commandLine[0], NULL, NULL, TRUE, CREATE_NO_WINDOW,
                                        NULL, NULL, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        std::string output;
        char c = 0;
        DWORD got = 0;
        while (ReadFile(readEnd, &c, 1, &got, NULL) && got == 1 && c != '\n') {
            output += c;
        }
        if (output.compare(0, 6, "ready ") == 0) {
            window = reinterpret_cast<HWND>(
                static_cast<ULONG_PTR>(std::strtoul(output.c_str() + 6, NULL, 16)));
        }
    }
    CloseHandle(readEnd);
}

TargetProcess::~TargetProcess() {
    if (process.hProcess != NULL) {
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}
