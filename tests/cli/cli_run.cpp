// Starting quillet-cli.exe with its output in temporary files.
#include "cli_run.h"

TemporaryOutputFile::TemporaryOutputFile() : handle_(INVALID_HANDLE_VALUE) {
    wchar_t directory[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, directory);
    GetTempFileNameW(directory, L"qcl", 0, name);
    path_ = name;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    handle_ = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, NULL);
}

TemporaryOutputFile::~TemporaryOutputFile() {
    CloseHandle(handle_);
    DeleteFileW(path_.c_str());
}

std::string TemporaryOutputFile::Contents() const {
    std::string bytes;
    SetFilePointer(handle_, 0, NULL, FILE_BEGIN);
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(handle_, buffer, sizeof buffer, &got, NULL) && got > 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}

std::wstring CliProgramPath() {
    // The build names it by its path on the build host; under Wine that is drive Z:.
    const std::string built = QUILLET_CLI_EXE;
    std::wstring cli(built.begin(), built.end());
    for (wchar_t& c : cli) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return cli[0] == L'\\' ? L"Z:" + cli : cli;
}

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) {
        return std::wstring();
    }
    const int units = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), units, NULL, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), units, &text[0], length);
    return text;
}

CliRun RunCli(const std::wstring& arguments) {
    CliRun run = {0xFFFFFFFF, std::string(), std::wstring(), std::wstring()};
    const TemporaryOutputFile output;
    const TemporaryOutputFile errors;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Handle();
    startup.hStdError = errors.Handle();
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::wstring commandLine = L"\"" + CliProgramPath() + L"\" " + arguments;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(NULL, &commandLine[0], NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL,
                        &startup, &process)) {
        return run;
    }
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.rawOutput = output.Contents();
    run.output = FromUtf8(run.rawOutput);
    run.errors = FromUtf8(errors.Contents());
    return run;
}
