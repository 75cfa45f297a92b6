// A small driver for end-to-end tests: asks the window system about Quillet's windows and sends
// them messages. Runs one command from its arguments, or, without arguments, one command per
// line of standard input until it ends. Each answer is one line of UTF-8 on standard output;
// text in answers escapes backslash, CR, LF and tab as \\ \r \n \t so that it fits on one line.
//
// Commands (window handles in hexadecimal, ID 0 = the window itself):
//   find-window TITLE            handle of the top-level window with that title, or 0
//   text HWND ID                 WM_GETTEXT of the control
//   rect HWND ID                 the control's window rectangle in its parent's client
//                                coordinates: x y width height
//   client-size HWND             width height of the client area
//   screen-rect HWND ID          left top right bottom of the window rectangle on the screen
//   client-to-screen HWND X Y    the screen point of a client point: x y
//   visible HWND ID              1 when the control is visible, else 0
//   pid HWND                     id of the window's process
//   resize HWND W H              sets the window size so that the client area is W x H
//   syscommand HWND SC           posts WM_SYSCOMMAND with SC (decimal or 0x...)
//   command HWND ID              posts WM_COMMAND with ID
//   send HWND ID MSG W L         SendMessageW to the control with numeric arguments; answers
//                                the result
//   window-at X Y                the window at the screen point, as WindowFromPoint finds it
//   show-window TITLE X Y W H    opens a window of its own (answers its handle) that lives until
//                                this driver ends
//   focus HWND ID                joins the input of the window's thread and gives the control
//                                the keyboard focus
//   steal-capture HWND           joins the input of HWND's thread and takes the mouse capture
//                                for a window of its own
//   quit                         ends the driver
#include <windows.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         NULL, 0, NULL, NULL);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, NULL,
                        NULL);
    return out;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), NULL, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Undoes Escape, so that titles given on the command line may hold line breaks.
std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
    }
    return out;
}

void Answer(const std::string& line) {
    const std::string out = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written,
              NULL);
}

unsigned long Number(const std::string& text) {
    return std::strtoul(text.c_str(), NULL, 0);
}

HWND Handle(const std::string& text) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoul(text.c_str(), NULL, 16)));
}

std::string Hex(HWND window) {
    std::ostringstream out;
    out << std::hex << reinterpret_cast<UINT_PTR>(window);
    return out.str();
}

HWND Control(const std::string& window, const std::string& id) {
    HWND parent = Handle(window);
    const int control = static_cast<int>(Number(id));
    return control == 0 ? parent : GetDlgItem(parent, control);
}

std::vector<HWND> OwnWindows;

LRESULT CALLBACK OwnWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND ShowOwnWindow(const std::wstring& title, int x, int y, int width, int height) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW windowClass;
        ZeroMemory(&windowClass, sizeof windowClass);
        windowClass.lpfnWndProc = OwnWindowProc;
        windowClass.hInstance = GetModuleHandleW(NULL);
        windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
        windowClass.lpszClassName = L"QdriverWindow";
        RegisterClassW(&windowClass);
        registered = true;
    }
    HWND window = CreateWindowExW(0, L"QdriverWindow", title.c_str(), WS_POPUP | WS_VISIBLE, x, y,
                                  width, height, NULL, NULL, GetModuleHandleW(NULL), NULL);
    UpdateWindow(window);
    OwnWindows.push_back(window);
    return window;
}

// Handles the messages of the driver's own windows between commands.
void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::string Run(const std::vector<std::string>& args) {
    const std::string& name = args[0];
    std::ostringstream out;
    if (name == "find-window" && args.size() == 2) {
        out << Hex(FindWindowW(NULL, Wide(Unescape(args[1])).c_str()));
    } else if (name == "text" && args.size() == 3) {
        HWND control = Control(args[1], args[2]);
        const LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT copied =
            SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(copied));
        out << Escape(Utf8(text));
    } else if (name == "rect" && args.size() == 3) {
        HWND control = Control(args[1], args[2]);
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(NULL, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
        out << rect.left << ' ' << rect.top << ' ' << rect.right - rect.left << ' '
            << rect.bottom - rect.top;
    } else if (name == "client-size" && args.size() == 2) {
        RECT rect;
        GetClientRect(Handle(args[1]), &rect);
        out << rect.right << ' ' << rect.bottom;
    } else if (name == "screen-rect" && args.size() == 3) {
        RECT rect;
        GetWindowRect(Control(args[1], args[2]), &rect);
        out << rect.left << ' ' << rect.top << ' ' << rect.right << ' ' << rect.bottom;
    } else if (name == "client-to-screen" && args.size() == 4) {
        POINT point = {static_cast<LONG>(Number(args[2])), static_cast<LONG>(Number(args[3]))};
        ClientToScreen(Handle(args[1]), &point);
        out << point.x << ' ' << point.y;
    } else if (name == "visible" && args.size() == 3) {
        out << (IsWindowVisible(Control(args[1], args[2])) ? 1 : 0);
    } else if (name == "pid" && args.size() == 2) {
        DWORD process = 0;
        GetWindowThreadProcessId(Handle(args[1]), &process);
        out << process;
    } else if (name == "resize" && args.size() == 4) {
        HWND window = Handle(args[1]);
        RECT outer;
        RECT client;
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        const int width =
            static_cast<int>(Number(args[2])) + (outer.right - outer.left) - client.right;
        const int height =
            static_cast<int>(Number(args[3])) + (outer.bottom - outer.top) - client.bottom;
        SetWindowPos(window, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        out << "ok";
    } else if (name == "syscommand" && args.size() == 3) {
        PostMessageW(Handle(args[1]), WM_SYSCOMMAND, Number(args[2]), 0);
        out << "ok";
    } else if (name == "command" && args.size() == 3) {
        PostMessageW(Handle(args[1]), WM_COMMAND, Number(args[2]), 0);
        out << "ok";
    } else if (name == "send" && args.size() == 6) {
        out << SendMessageW(Control(args[1], args[2]), static_cast<UINT>(Number(args[3])),
                            Number(args[4]), static_cast<LPARAM>(Number(args[5])));
    } else if (name == "window-at" && args.size() == 3) {
        POINT point = {static_cast<LONG>(Number(args[1])), static_cast<LONG>(Number(args[2]))};
        out << Hex(WindowFromPoint(point));
    } else if (name == "show-window" && args.size() == 6) {
        out << Hex(ShowOwnWindow(Wide(Unescape(args[1])), static_cast<int>(Number(args[2])),
                                 static_cast<int>(Number(args[3])),
                                 static_cast<int>(Number(args[4])),
                                 static_cast<int>(Number(args[5]))));
    } else if (name == "focus" && args.size() == 3) {
        HWND control = Control(args[1], args[2]);
        const DWORD thread = GetWindowThreadProcessId(control, NULL);
        AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
        SetFocus(control);
        out << Hex(GetFocus());
        AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    } else if (name == "steal-capture" && args.size() == 2) {
        const DWORD thread = GetWindowThreadProcessId(Handle(args[1]), NULL);
        AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
        HWND own = ShowOwnWindow(L"qdriver capture", 0, 0, 1, 1);
        out << Hex(SetCapture(own)) << ' ' << Hex(GetCapture());
        ReleaseCapture();
        AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
    } else {
        out << "error: unknown command " << name;
    }
    return out.str();
}

// Splits a line at spaces; a word in double quotes may hold spaces.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            const size_t end = line.find('"', i + 1);
            word = line.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? line.size() : end + 1;
        } else {
            const size_t end = line.find(' ', i);
            word = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? line.size() : end;
        }
        words.push_back(word);
    }
    return words;
}

bool ReadLine(std::string& line) {
    line.clear();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        char c = 0;
        DWORD got = 0;
        if (!ReadFile(input, &c, 1, &got, NULL) || got == 0) {
            return !line.empty();
        }
        if (c == '\n') {
            return true;
        }
        line += c;
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1) {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) {
            args.push_back(Utf8(argv[i]));
        }
        Answer(Run(args));
        return 0;
    }
    std::string line;
    while (ReadLine(line)) {
        PumpMessages();
        const std::vector<std::string> args = Words(line);
        if (args.empty()) {
            continue;
        }
        if (args[0] == "quit") {
            break;
        }
        Answer(Run(args));
        PumpMessages();
    }
    return 0;
}
