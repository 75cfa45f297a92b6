// A real main dialog for tests that look at it.
#pragma once

#include <windows.h>

#include <string>

// Creates the main dialog from the real template with the real procedure, modeless, so that a
// test can look at it; destroys it at the end.
class MainDialogFixture {
public:
    explicit MainDialogFixture(bool admin);
    ~MainDialogFixture();
    MainDialogFixture(const MainDialogFixture&) = delete;
    MainDialogFixture& operator=(const MainDialogFixture&) = delete;

    HWND dialog() const { return dialog_; }
    // Resizes the dialog so that its client area is width x height, below the usual minimum
    // size too, and lets it lay out; returns the client size reached.
    SIZE SetClientSize(int width, int height);
    // The control's rectangle in the dialog's client coordinates.
    RECT ControlRect(int id) const;

private:
    HWND dialog_;
};

std::wstring WindowText(HWND window);

// Handles the messages waiting for this thread.
void PumpMessages();
