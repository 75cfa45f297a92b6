// The report of a missing apphelp.dll or a missing entry of it.
#pragma once

#include <string>

#include "match_lines.h"

// The one line that stands in for a call into apphelp.dll that cannot be made: the library
// itself when it is not loaded, else the missing entry.
std::wstring MissingEntryText(const wchar_t* entryName);

// True when the entry can be called; otherwise adds the line that says what is missing.
template <typename Entry>
bool EntryAvailable(MatchReport& report, Entry entry, const wchar_t* entryName) {
    if (entry != NULL) {
        return true;
    }
    AddMatchLine(report, MatchLineKind::Failure, MissingEntryText(entryName));
    return false;
}
