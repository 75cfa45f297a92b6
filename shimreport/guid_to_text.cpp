// Converts a GUID to text through the shim engine.
#include "guid_to_text.h"

#include "apphelp_api.h"

std::wstring GuidToText(const GUID& guid) {
    EnsureApphelpLoaded();
    if (ApphelpApi.SdbGUIDToString == NULL) {
        return std::wstring();
    }
    const SIZE_T length = 50;
    // Starts empty and ends in a NUL whatever the engine leaves, so the read stays inside.
    wchar_t buffer[length + 1] = {};
    ApphelpApi.SdbGUIDToString(&guid, buffer, length);
    return std::wstring(buffer);
}
