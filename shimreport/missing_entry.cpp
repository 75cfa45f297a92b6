// Writes the line that stands in for a call into apphelp.dll that cannot be made.
#include "missing_entry.h"

#include "apphelp_api.h"

void WriteMissingEntry(ReportStream& stream, const wchar_t* entryName) {
    if (ApphelpApi.module == NULL) {
        stream << L"apphelp.dll not available" << crlf;
    } else {
        stream << L"apphelp.dll: " << entryName << L" not available" << crlf;
    }
}
