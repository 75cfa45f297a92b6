// drop_bench [--hidden] [COUNT...]: times a drop of COUNT files (1000 and 2000 by default)
// onto a pane through the tool's drop handling, against the shim-engine calls that the drop has
// to make, and checks the two limits: a drop of 1000 files takes at most 1.5 times its engine
// calls alone, and a drop of 2000 at most 2.2 times a drop of 1000. The appends column times
// the pane alone with the same texts. Runs under Wine with the stand-in engine of the prefix;
// each figure is the best of three runs. The pane is shown like the dialog's, with both scroll
// bars; --hidden keeps its window hidden, which leaves out what the window system costs per
// append.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../app/dropped_files.h"
#include "../bench_files.h"
#include "../../common/output_pane.h"
#include "../../inspect/redirection_revert.h"
#include "../../shimreport/apphelp_api.h"

namespace {

const int Runs = 3;

// A drop handle as the shell makes one: DROPFILES followed by the wide paths.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    size_t characters = 1;
    for (const std::wstring& path : paths) {
        characters += path.size() + 1;
    }
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                       sizeof(DROPFILES) + characters * sizeof(wchar_t));
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    wchar_t* next = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& path : paths) {
        std::copy(path.begin(), path.end(), next);
        next += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// What the drop has to ask the engine for each file: a match in a context of its own and the
// two stored-layer queries, made with file-system redirection off as the report makes them.
double EngineCallsAlone(const std::vector<std::wstring>& paths) {
    std::vector<unsigned char> result(912);
    wchar_t layers[257];
    const double start = Seconds();
    for (const std::wstring& path : paths) {
        RedirectionRevert redirection;
        const HSDB context = ApphelpApi.SdbInitDatabaseEx(0, NULL, ImageTypeX86);
        ApphelpApi.SdbGetMatchingExe(context, path.c_str(), NULL, NULL, 0, &result[0]);
        ApphelpApi.SdbReleaseDatabase(context);
        for (DWORD which = 1; which <= 2; ++which) {
            DWORD size = 256;
            ApphelpApi.SdbGetPermLayerKeys(path.c_str(), layers, &size, which);
        }
    }
    return Seconds() - start;
}

double Drop(HWND dialog, const std::vector<std::wstring>& paths) {
    const HDROP drop = MakeDrop(paths);
    const double start = Seconds();
    HandleDroppedFiles(dialog, drop);
    return Seconds() - start;
}

// The pane alone: the same texts that the drop appends for these files (none of them matches
// anything), appended to an emptied pane.
double AppendsAlone(const std::vector<std::wstring>& paths) {
    const double start = Seconds();
    SetWindowTextW(OutputPane, L"");
    AppendToOutputPane(L"Running on");
    for (const std::wstring& path : paths) {
        AppendToOutputPane(L"File: " + path + L"\r\n");
        AppendToOutputPane(L"SdbGetMatchingExe:\r\nNo match\r\n");
    }
    return Seconds() - start;
}

template <typename Measure> double Best(Measure measure) {
    double best = measure();
    for (int run = 1; run < Runs; ++run) {
        best = std::min(best, measure());
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<size_t> counts;
    bool hidden = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--hidden") {
            hidden = true;
        } else {
            counts.push_back(static_cast<size_t>(std::strtoul(argv[i], NULL, 10)));
        }
    }
    if (counts.empty()) {
        counts = {1000, 2000};
    }
    EnsureApphelpLoaded();
    if (ApphelpApi.SdbInitDatabaseEx == NULL || ApphelpApi.SdbGetMatchingExe == NULL ||
        ApphelpApi.SdbReleaseDatabase == NULL || ApphelpApi.SdbGetPermLayerKeys == NULL) {
        std::fputs("drop_bench: no shim engine with the needed entries\n", stderr);
        return 2;
    }
    // A visible window with a pane like the dialog's, so that appends cost what they cost there.
    const HWND dialog = CreateWindowExW(0, L"STATIC", L"drop_bench",
                                        WS_OVERLAPPEDWINDOW | (hidden ? 0 : WS_VISIBLE), 0, 0, 800,
                                        600, NULL, NULL, GetModuleHandleW(NULL), NULL);
    OutputPane = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                     ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                                 0, 0, 780, 560, dialog, NULL, GetModuleHandleW(NULL), NULL);
    SendMessageW(OutputPane, EM_LIMITTEXT, 0, 0);
    SendMessageW(
        OutputPane, WM_SETFONT,
        reinterpret_cast<WPARAM>(CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0,
                                             0, 0, FIXED_PITCH, L"Courier New")),
        FALSE);

    std::printf("%8s %12s %12s %12s %8s %10s\n", "files", "engine (s)", "appends (s)", "drop (s)",
                "ratio", "pane chars");
    std::vector<double> drops;
    bool withinLimits = true;
    for (size_t count : counts) {
        const std::vector<std::wstring> paths = MakeFiles(L"quillet-drop-bench", count);
        const double alone = Best([&] { return EngineCallsAlone(paths); });
        const double appends = Best([&] { return AppendsAlone(paths); });
        const double drop = Best([&] { return Drop(dialog, paths); });
        drops.push_back(drop);
        std::printf("%8u %12.3f %12.3f %12.3f %8.2f %10d\n", static_cast<unsigned>(count), alone,
                    appends, drop, drop / alone, GetWindowTextLengthW(OutputPane));
        std::fflush(stdout);
        if (count == 1000 && drop > 1.5 * alone) {
            withinLimits = false;
        }
    }
    for (size_t i = 0; i + 1 < counts.size(); ++i) {
        if (counts[i] == 1000 && counts[i + 1] == 2000) {
            const double growth = drops[i + 1] / drops[i];
            std::printf("drop of 2000 / drop of 1000: %.2f (limit 2.2)\n", growth);
            withinLimits = withinLimits && growth <= 2.2;
        }
    }
    std::puts(withinLimits ? "within the limits" : "OUTSIDE the limits");
    DestroyWindow(dialog);
    return withinLimits ? 0 : 1;
}
