#include "output_pane.h"

HWND OutputPane = NULL;

namespace {

bool Batching = false;
std::wstring BatchText;

void ReplaceAtEnd(const wchar_t* text) {
    SendMessageW(OutputPane, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text));
}

void SelectEnd() {
    const int length = GetWindowTextLengthW(OutputPane);
    SendMessageW(OutputPane, EM_SETSEL, static_cast<WPARAM>(length), -1);
}

} // namespace

void AppendToOutputPane(const std::wstring& text) {
    if (Batching) {
        BatchText += text;
        BatchText += L"\r\n";
        return;
    }
    SelectEnd();
    ReplaceAtEnd(text.c_str());
    ReplaceAtEnd(L"\r\n");
}

OutputPaneBatch::OutputPaneBatch() {
    Batching = true;
    BatchText.clear();
}

OutputPaneBatch::~OutputPaneBatch() {
    Batching = false;
    if (!BatchText.empty()) {
        SelectEnd();
        ReplaceAtEnd(BatchText.c_str());
    }
    BatchText.clear();
}
