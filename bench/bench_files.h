// What the Windows benchmarks share: the files they report on, where they put them, the clock,
// the best of three runs, and standard output sent to a file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// The path of name under %TEMP%.
std::wstring TempPath(const wchar_t* name);

// count small files in a fresh folder of that name under %TEMP%, named like programs.
std::vector<std::wstring> MakeFiles(const wchar_t* folderName, size_t count);

// count copies of the program under %TEMP%\folderName, each in a folder of its own so that it
// keeps the program's name.
std::vector<std::wstring> CopyProgram(const wchar_t* folderName, const std::wstring& program,
                                      size_t count);

// The performance counter, in seconds.
double Seconds();

// The best of three runs of each measure, taken in turns so that a change of the machine's load
// falls on all alike.
std::vector<double> BestOfEach(const std::vector<std::function<double()>>& measures);

// Standard output goes to an emptied temporary file of that name while one lives, as a
// script's redirection would take it.
class OutputToFile {
public:
    explicit OutputToFile(const wchar_t* name);
    ~OutputToFile();
    OutputToFile(const OutputToFile&) = delete;
    OutputToFile& operator=(const OutputToFile&) = delete;

private:
    HANDLE saved_;
    HANDLE file_;
};
