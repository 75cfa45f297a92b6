// shimtarget.exe [--title TEXT] [--rect X,Y,W,H] [--match PATH] [--nothing]
//                [--hostile oversized|counts|unmapped|edge]
//
// A target process for tests: plants shim state into its own PEB (see planted_state.h; the
// packed shim data is the match of PATH, by default of shimtarget.exe itself; --nothing plants
// nothing), shows one top-level window, writes "ready <window handle in hex>" on stdout and
// runs until the window is closed or the process is killed. --hostile spoils the planted state
// (see HostileKind). TEXT may hold the escapes \n, \r
// and \\.
#include <windows.h>

#include <cstdio>
#include <string>

#include "planted_state.h"

namespace {

struct Options {
    std::wstring title;
    RECT rect;
    std::wstring matchPath;
    bool plant;
    HostileKind hostile;
};

bool ParseHostile(const std::wstring& text, HostileKind& hostile) {
    const struct {
        const wchar_t* name;
        HostileKind kind;
    } kinds[] = {{L"oversized", HostileOversized},
                 {L"counts", HostileCounts},
                 {L"unmapped", HostileUnmapped},
                 {L"edge", HostileEdge}};
    for (const auto& known : kinds) {
        if (text == known.name) {
            hostile = known.kind;
            return true;
        }
    }
    return false;
}

std::wstring Unescape(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size()) {
            ++i;
            out += text[i] == L'n' ? L'\n' : text[i] == L'r' ? L'\r' : text[i];
        } else {
            out += text[i];
        }
    }
    return out;
}

bool ParseOptions(Options& options) {
    wchar_t ownPath[MAX_PATH] = {};
    GetModuleFileNameW(NULL, ownPath, MAX_PATH);
    options.title = L"shimtarget";
    SetRect(&options.rect, 100, 100, 400, 300);
    options.matchPath = ownPath;
    options.plant = true;
    options.hostile = HostileNone;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    bool ok = true;
    for (int i = 1; i < count && ok; ++i) {
        const std::wstring arg = args[i];
        const bool hasValue = i + 1 < count;
        if (arg == L"--nothing") {
            options.plant = false;
        } else if (arg == L"--title" && hasValue) {
            options.title = Unescape(args[++i]);
        } else if (arg == L"--hostile" && hasValue) {
            ok = ParseHostile(args[++i], options.hostile);
        } else if (arg == L"--match" && hasValue) {
            options.matchPath = args[++i];
        } else if (arg == L"--rect" && hasValue) {
            int x = 0, y = 0, w = 0, h = 0;
            ok = swscanf(args[++i], L"%d,%d,%d,%d", &x, &y, &w, &h) == 4;
            SetRect(&options.rect, x, y, x + w, y + h);
        } else {
            ok = false;
        }
    }
    LocalFree(args);
    return ok;
}

LRESULT CALLBACK TargetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int main() {
    Options options;
    if (!ParseOptions(options)) {
        std::fputs("usage: shimtarget [--title TEXT] [--rect X,Y,W,H] [--match PATH] [--nothing]\n"
                   "                  [--hostile oversized|counts|unmapped|edge]\n",
                   stderr);
        return 2;
    }
    std::wstring error;
    if (options.plant && !PlantShimState(options.matchPath, options.hostile, error)) {
        std::fprintf(stderr, "shimtarget: %ls\n", error.c_str());
        return 1;
    }
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = TargetWindowProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"QuilletShimTarget";
    RegisterClassW(&windowClass);
    const RECT& rect = options.rect;
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, options.title.c_str(),
                                        WS_OVERLAPPEDWINDOW | WS_VISIBLE, rect.left, rect.top,
                                        rect.right - rect.left, rect.bottom - rect.top, NULL, NULL,
                                        windowClass.hInstance, NULL);
    if (window == NULL) {
        std::fputs("shimtarget: CreateWindowExW failed\n", stderr);
        return 1;
    }
    UpdateWindow(window);
    std::printf("ready %lx\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)));
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
