// Appends report text to the output pane, alone or batched.
#include "../common/output_pane.h"

HWND OutputPane = NULL;

namespace {

// The number of batches alive; only the outermost one collects and writes.
int BatchDepth = 0;
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
    if (BatchDepth > 0) {
        BatchText += text;
        BatchText += L"\r\n";
        return;
    }
    SelectEnd();
    ReplaceAtEnd(text.c_str());
    ReplaceAtEnd(L"\r\n");
}

OutputPaneBatch::OutputPaneBatch() {
    if (BatchDepth++ == 0) {
        BatchText.clear();
    }
}

OutputPaneBatch::~OutputPaneBatch() {
    if (--BatchDepth > 0) {
        return;
    }
    if (!BatchText.empty()) {
        SelectEnd();
        ReplaceAtEnd(BatchText.c_str());
    }
    BatchText.clear();
}
