// The report of a missing apphelp.dll or a missing entry of it.
#pragma once

#include "../app/report_stream.h"

// Writes the one line that stands in for a call into apphelp.dll that cannot be made: the
// library itself when it is not loaded, else the missing entry.
void WriteMissingEntry(ReportStream& stream, const wchar_t* entryName);

// True when the entry can be called; otherwise writes the line that says what is missing.
template <typename Entry>
bool EntryAvailable(ReportStream& stream, Entry entry, const wchar_t* entryName) {
    if (entry != NULL) {
        return true;
    }
    WriteMissingEntry(stream, entryName);
    return false;
}
