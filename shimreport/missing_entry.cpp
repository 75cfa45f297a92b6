// The line that stands in for a call into apphelp.dll that cannot be made.
#include "missing_entry.h"

#include "apphelp_api.h"

std::wstring MissingEntryText(const wchar_t* entryName) {
    if (ApphelpApi.module == NULL) {
        return L"apphelp.dll not available";
    }
    return std::wstring(L"apphelp.dll: ") + entryName + L" not available";
}
