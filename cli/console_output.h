// Where the console program's text goes: standard output for reports, standard error for the
// usage and warnings.
#pragma once

#include <string>

// Writes the text to standard output now: through the wide console API to a console, as UTF-8
// to a pipe or file.
void WriteToStandardOutput(const std::wstring& text);

// The same for text that is UTF-8 already: to a pipe or file as it is.
void WriteUtf8ToStandardOutput(const std::string& text);

// The same for standard error.
void WriteToStandardError(const std::wstring& text);

// Whether every write to standard output so far reached it in full.
bool OutputComplete();

// While one lives, report text appended for the pane is collected in it instead of written.
class CapturedAppends {
public:
    CapturedAppends();
    ~CapturedAppends();
    CapturedAppends(const CapturedAppends&) = delete;
    CapturedAppends& operator=(const CapturedAppends&) = delete;

    const std::wstring& Text() const { return text_; }

private:
    std::wstring text_;
    std::wstring* outer_;
};
