// The names of the layer and result flag words.
#pragma once

#include <windows.h>

#include <string>

#include "../app/report_stream.h"

// Writes a flag word as its names joined by " | ", then any unnamed bits as "0x" and hex.
// Writes nothing for 0. Returns the stream so that the line can go on.
ReportStream& PrintResultFlags(ReportStream& stream, DWORD flags);

// The bit that PrintResultFlags writes with this name; 0 for a name it never writes.
DWORD ResultFlagNamed(const std::wstring& name);
