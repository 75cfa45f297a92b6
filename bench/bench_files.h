// What the Windows benchmarks share: the files they report on, where they put them, the clock,
// the best of three runs, and standard output sent to a file.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

// The path of name under %TEMP%.
std::wstring TempPath(const wchar_t* name);

// count small files in a fresh folder of that name under %TEMP%, named like programs.
std::vector<std::wstring> MakeFiles(const wchar_t* folderName, size_t count);

// The performance counter, in seconds.
double Seconds();

// The best of three runs of each of the three measures, taken in turns so that a change of the
// machine's load falls on all three alike.
template <typename First, typename Second, typename Third>
void BestOfEach(First first, Second second, Third third, double best[3]) {
    for (int run = 0; run < 3; ++run) {
        const double times[3] = {first(), second(), third()};
        for (int i = 0; i < 3; ++i) {
            best[i] = run == 0 ? times[i] : std::min(best[i], times[i]);
        }
    }
}

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
