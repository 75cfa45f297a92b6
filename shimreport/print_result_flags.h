// The names of the layer and result flag words.
#pragma once

#include <windows.h>

#include <vector>

#include "../common/report_stream.h"

// Writes a flag word as its names joined by " | ", then any unnamed bits as "0x" and hex.
// Writes nothing for 0. Returns the stream so that the line can go on.
ReportStream& PrintResultFlags(ReportStream& stream, DWORD flags);

// The names of the flag word's named bits, in the order PrintResultFlags writes them.
std::vector<const wchar_t*> ResultFlagNames(DWORD flags);
