// Runs quillet-cli.exe as a child process and collects what it wrote.
#pragma once

#include <windows.h>

#include <string>

struct CliRun {
    DWORD exitCode;
    std::string rawOutput; // standard output as written
    std::wstring output;   // the same, decoded from UTF-8
    std::wstring errors;   // standard error, decoded from UTF-8
};

// A temporary file, opened inheritable for a program's output, deleted at the end.
class TemporaryOutputFile {
public:
    TemporaryOutputFile();
    ~TemporaryOutputFile();
    TemporaryOutputFile(const TemporaryOutputFile&) = delete;
    TemporaryOutputFile& operator=(const TemporaryOutputFile&) = delete;

    HANDLE Handle() const { return handle_; }

    // Everything written to it so far.
    std::string Contents() const;

private:
    std::wstring path_;
    HANDLE handle_;
};

// The Windows path of the built quillet-cli.exe.
std::wstring CliProgramPath();

// Runs the program with the arguments (already quoted where needed), its standard output and
// standard error redirected to files, and waits for it.
CliRun RunCli(const std::wstring& arguments);

// Decodes UTF-8; invalid sequences become U+FFFD.
std::wstring FromUtf8(const std::string& bytes);
