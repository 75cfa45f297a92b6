// What the Windows benchmarks share: the files they report on, where they put them, the clock,
// the best of three runs, and standard output sent to a file.
#include "bench_files.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

std::wstring TempPath(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name;
}

std::vector<std::wstring> MakeFiles(const wchar_t* folderName, size_t count) {
    const std::wstring folder = TempPath(folderName);
    CreateDirectoryW(folder.c_str(), NULL);
    std::vector<std::wstring> paths;
    const char content[] = "MZ not really a program, but a file the engine can look at";
    for (size_t i = 0; i < count; ++i) {
        wchar_t name[32];
        std::swprintf(name, 32, L"\\program%05u.exe", static_cast<unsigned>(i));
        paths.push_back(folder + name);
        const HANDLE file = CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD written = 0;
        WriteFile(file, content, sizeof content, &written, NULL);
        CloseHandle(file);
    }
    return paths;
}

std::vector<std::wstring> CopyProgram(const wchar_t* folderName, const std::wstring& program,
                                      size_t count) {
    const std::wstring folder = TempPath(folderName);
    CreateDirectoryW(folder.c_str(), NULL);
    const std::wstring name = program.substr(program.find_last_of(L'\\'));
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < count; ++i) {
        wchar_t number[16];
        std::swprintf(number, 16, L"\\%05u", static_cast<unsigned>(i));
        CreateDirectoryW((folder + number).c_str(), NULL);
        paths.push_back(folder + number + name);
        CopyFileW(program.c_str(), paths.back().c_str(), FALSE);
    }
    return paths;
}

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

OutputToFile::OutputToFile(const wchar_t* name) : saved_(GetStdHandle(STD_OUTPUT_HANDLE)) {
    file_ = CreateFileW(TempPath(name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_TEMPORARY, NULL);
    SetStdHandle(STD_OUTPUT_HANDLE, file_);
}

OutputToFile::~OutputToFile() {
    SetStdHandle(STD_OUTPUT_HANDLE, saved_);
    CloseHandle(file_);
}

std::vector<double> BestOfEach(const std::vector<std::function<double()>>& measures) {
    const int runs = 3;
    std::vector<double> best(measures.size());
    for (int run = 0; run < runs; ++run) {
        for (size_t i = 0; i < measures.size(); ++i) {
            const double time = measures[i]();
            best[i] = run == 0 ? time : std::min(best[i], time);
        }
    }
    return best;
}
