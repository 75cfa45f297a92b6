#include "output_pane.h"

HWND OutputPane = NULL;

void AppendToOutputPane(const std::wstring& text) {
    const int length = GetWindowTextLengthW(OutputPane);
    SendMessageW(OutputPane, EM_SETSEL, static_cast<WPARAM>(length), -1);
    SendMessageW(OutputPane, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(OutputPane, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(L"\r\n"));
}
