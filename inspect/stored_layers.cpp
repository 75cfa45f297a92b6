// Reads and writes the compatibility layers stored for a path.
#include "stored_layers.h"

#include <windows.h>

#include "../shimreport/apphelp_api.h"

namespace {

const DWORD PerUserLayers = 1;
const DWORD PerMachineLayers = 2;

bool ReadLayers(const std::wstring& path, DWORD which, std::wstring& layers) {
    // One unit more than the size passed, so the text always ends with a NUL.
    wchar_t text[257] = {};
    DWORD size = 256;
    if (ApphelpApi.SdbGetPermLayerKeys(path.c_str(), text, &size, which) == 0) {
        return false;
    }
    layers = text;
    return true;
}

void WriteLayerBlock(bool stored, const wchar_t* label, const std::wstring& layers,
                     ReportStream& stream) {
    if (stored) {
        stream << crlf << label << crlf << layers << crlf;
    }
}

} // namespace

StoredLayers ReadStoredLayers(const std::wstring& path) {
    StoredLayers stored = {false, std::wstring(), false, std::wstring()};
    // An engine without the entry has nothing stored to show.
    if (ApphelpApi.SdbGetPermLayerKeys != NULL) {
        stored.perUser = ReadLayers(path, PerUserLayers, stored.userLayers);
        stored.perMachine = ReadLayers(path, PerMachineLayers, stored.machineLayers);
    }
    return stored;
}

void WriteStoredLayers(const StoredLayers& stored, ReportStream& stream) {
    WriteLayerBlock(stored.perUser, L"HKCU\\...\\Layers:", stored.userLayers, stream);
    WriteLayerBlock(stored.perMachine, L"HKLM\\...\\Layers:", stored.machineLayers, stream);
}
