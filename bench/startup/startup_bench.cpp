// startup_bench [RUNS]: times how long Quillet.exe takes from its start until its dialog is
// visible, against startup_baseline.exe (the same dialog template and manifest, the same imports
// but psapi, and nothing else), and checks the limit: the median of RUNS starts (7 by default) of
// Quillet is at most 1.1 times the baseline's. The two are started in turns, so that a change of
// the machine's load falls on both alike, each first in every other pair; each is started once
// before the timed runs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "../bench_files.h"

namespace {

const double Limit = 1.1;

// The build names a program by its path on the build host; under Wine that is drive Z:.
std::wstring WindowsPathOfBuilt(const std::string& built) {
    std::wstring path(built.begin(), built.end());
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path[0] == L'\\' ? L"Z:" + path : path;
}

struct VisibleWindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM context) {
    VisibleWindowSearch* search = reinterpret_cast<VisibleWindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Seconds from the start of the program until a window of it is visible; negative when it
// shows none within half a minute. The program is closed again before this returns.
double TimeToDialog(const std::wstring& program) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + program + L"\"";
    const double start = Seconds();
    double shown = -1;
    if (!CreateProcessW(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &process)) {
        return shown;
    }
    VisibleWindowSearch search = {process.dwProcessId, NULL};
    while (Seconds() - start < 30 && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != NULL) {
            shown = Seconds() - start;
            break;
        }
        Sleep(1);
    }
    if (search.found != NULL) {
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return shown;
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int wmain(int count, wchar_t** arguments) {
    const long asked = count > 1 ? std::wcstol(arguments[1], NULL, 10) : 7;
    const int runs = asked > 0 && asked < 1000 ? static_cast<int>(asked) : 7;
    const std::wstring programs[2] = {WindowsPathOfBuilt(BASELINE_EXE),
                                      WindowsPathOfBuilt(QUILLET_EXE)};
    const char* const names[2] = {"baseline", "Quillet"};
    // The first start of each loads what the system caches; it is not counted.
    for (const std::wstring& program : programs) {
        if (TimeToDialog(program) < 0) {
            std::fputs("a program showed no window\n", stderr);
            return 2;
        }
    }
    std::vector<double> seconds[2];
    for (int run = 0; run < runs; ++run) {
        std::printf("run %d:", run + 1);
        // Each goes first in every other pair, so that neither always follows the other.
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (run + turn) % 2;
            seconds[which].push_back(TimeToDialog(programs[which]));
            std::printf(" %s %.3f s", names[which], seconds[which].back());
        }
        std::printf("\n");
    }
    const double ratio = Median(seconds[1]) / Median(seconds[0]);
    std::printf("median of %d: baseline %.3f s, Quillet %.3f s, ratio %.2f (limit %.1f)\n", runs,
                Median(seconds[0]), Median(seconds[1]), ratio, Limit);
    const bool within = ratio <= Limit;
    std::puts(within ? "within the limit" : "OUTSIDE the limit");
    return within ? 0 : 1;
}
