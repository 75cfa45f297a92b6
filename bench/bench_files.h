// What the Windows benchmarks share: the files they report on, where they put them, the clock.
#pragma once

#include <cstddef>
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
