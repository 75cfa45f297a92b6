// The stored-layers blocks of a report.
#pragma once

#include <string>

#include "../app/report_stream.h"

// Writes the layers stored for the path per user (HKCU) and per machine (HKLM), each block
// only when the shim engine reports one.
void WriteStoredLayers(const std::wstring& path, ReportStream& stream);
