// Writes the compatibility layers stored for a path.
#include "stored_layers.h"

#include <windows.h>

#include "../shimreport/apphelp_api.h"

namespace {

const DWORD PerUserLayers = 1;
const DWORD PerMachineLayers = 2;

void WriteLayerBlock(const std::wstring& path, DWORD which, const wchar_t* label,
                     ReportStream& stream) {
    // One unit more than the size passed, so the text always ends with a NUL.
    wchar_t layers[257] = {};
    DWORD size = 256;
    if (ApphelpApi.SdbGetPermLayerKeys(path.c_str(), layers, &size, which) == 0) {
        return;
    }
    stream << crlf << label << crlf << layers << crlf;
}

} // namespace

void WriteStoredLayers(const std::wstring& path, ReportStream& stream) {
    // An engine without the entry has nothing stored to show.
    if (ApphelpApi.SdbGetPermLayerKeys == NULL) {
        return;
    }
    WriteLayerBlock(path, PerUserLayers, L"HKCU\\...\\Layers:", stream);
    WriteLayerBlock(path, PerMachineLayers, L"HKLM\\...\\Layers:", stream);
}
