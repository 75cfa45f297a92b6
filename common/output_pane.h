// The output pane and the calls that append report text to it.
#pragma once

#include <windows.h>

#include <string>

// The multi-line edit control that shows every report (control 1001 of the main dialog).
extern HWND OutputPane;

// Appends the text at the very end of the pane, followed by a line break of its own.
void AppendToOutputPane(const std::wstring& text);

// While a batch lives, appends are collected and reach the pane in one step when it ends, on
// every way out. The pane then holds exactly the text that the single appends would have left.
// A batch begun while another lives joins it: its appends reach the pane with the outer ones.
// The edit control copies its whole text on every replacement, so a drop of many files stays
// linear only when its reports go in at once.
class OutputPaneBatch {
public:
    OutputPaneBatch();
    ~OutputPaneBatch();

private:
    OutputPaneBatch(const OutputPaneBatch&);
    OutputPaneBatch& operator=(const OutputPaneBatch&);
};
