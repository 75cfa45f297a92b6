// Creates and destroys the main dialog around a test.
#include "dialog_fixture.h"

#include "../../app/admin_check.h"
#include "../../app/main_dialog.h"
#include "../../resources/resource.h"

MainDialogFixture::MainDialogFixture(bool admin) {
    AppInstance = GetModuleHandleW(NULL);
    IsAdmin = admin;
    dialog_ = CreateDialogParamW(AppInstance, MAKEINTRESOURCEW(IDD_MAIN), NULL, MainDialogProc, 0);
    ShowWindow(dialog_, SW_SHOW);
    PumpMessages();
}

MainDialogFixture::~MainDialogFixture() {
    DestroyWindow(dialog_);
    PumpMessages();
}

SIZE MainDialogFixture::SetClientSize(int width, int height) {
    RECT outer;
    RECT client;
    GetWindowRect(dialog_, &outer);
    GetClientRect(dialog_, &client);
    SetWindowPos(dialog_, NULL, 0, 0, width + (outer.right - outer.left) - client.right,
                 height + (outer.bottom - outer.top) - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
    PumpMessages();
    GetClientRect(dialog_, &client);
    SIZE size = {client.right, client.bottom};
    return size;
}

RECT MainDialogFixture::ControlRect(int id) const {
    RECT rect;
    GetWindowRect(GetDlgItem(dialog_, id), &rect);
    MapWindowPoints(NULL, dialog_, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
