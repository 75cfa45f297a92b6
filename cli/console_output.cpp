// The console program's own AppendToOutputPane: report text goes to standard output.
#include "console_output.h"

#include <windows.h>

#include <string>

#include "../common/output_pane.h"
#include "../common/utf8_text.h"

// The banner empties the pane; a console program has none, so there is nothing to empty.
HWND OutputPane = NULL;

namespace {

// Console writes stay below the console's buffer limit of older systems.
const size_t ConsoleChunk = 8192;

bool WritesFailed = false;

// The text of the innermost living CapturedAppends, or null.
std::wstring* Captured = NULL;

bool IsHighSurrogate(wchar_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool WriteToConsole(HANDLE console, const std::wstring& text) {
    size_t done = 0;
    while (done < text.size()) {
        size_t chunk = text.size() - done < ConsoleChunk ? text.size() - done : ConsoleChunk;
        // A surrogate pair is written in one call, so that the console shows the character.
        if (chunk > 1 && done + chunk < text.size() && IsHighSurrogate(text[done + chunk - 1])) {
            --chunk;
        }
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data() + done, static_cast<DWORD>(chunk), &written,
                           NULL) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool WriteBytes(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       NULL) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

// The standard handle, and whether it is a console; null when the stream is closed.
HANDLE StandardHandle(DWORD which, bool& console) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    console = handle != NULL && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
    return handle == INVALID_HANDLE_VALUE ? NULL : handle;
}

bool WriteTo(DWORD which, const std::wstring& text) {
    bool console = false;
    const HANDLE handle = StandardHandle(which, console);
    return handle != NULL &&
           (console ? WriteToConsole(handle, text) : WriteBytes(handle, Utf8(text)));
}

} // namespace

void WriteToStandardOutput(const std::wstring& text) {
    if (!WriteTo(STD_OUTPUT_HANDLE, text)) {
        WritesFailed = true;
    }
}

void WriteUtf8ToStandardOutput(const std::string& text) {
    bool console = false;
    const HANDLE handle = StandardHandle(STD_OUTPUT_HANDLE, console);
    if (handle == NULL ||
        !(console ? WriteToConsole(handle, WideFromUtf8(text)) : WriteBytes(handle, text))) {
        WritesFailed = true;
    }
}

void WriteToStandardError(const std::wstring& text) {
    WriteTo(STD_ERROR_HANDLE, text);
}

bool OutputComplete() {
    return !WritesFailed;
}

void AppendToOutputPane(const std::wstring& text) {
    if (Captured != NULL) {
        *Captured += text + L"\r\n";
        return;
    }
    WriteToStandardOutput(text + L"\r\n");
}

CapturedAppends::CapturedAppends() : outer_(Captured) {
    Captured = &text_;
}

CapturedAppends::~CapturedAppends() {
    Captured = outer_;
}
