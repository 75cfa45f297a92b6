// The layers stored for a path, and their blocks of a report.
#pragma once

#include <string>

#include "../common/report_stream.h"

// The layer strings the shim engine gives for a path per user (HKCU) and per machine (HKLM);
// a side without stored layers has its flag false.
struct StoredLayers {
    bool perUser;
    std::wstring userLayers;
    bool perMachine;
    std::wstring machineLayers;
};

// Asks the shim engine for the layers stored for the path; none when it lacks the entry.
StoredLayers ReadStoredLayers(const std::wstring& path);

// Writes the stored layers' blocks, each only when the shim engine reports one.
void WriteStoredLayers(const StoredLayers& stored, ReportStream& stream);
