// The report on a process's packed shim data.
#pragma once

#include "../common/report_stream.h"
#include "match_lines.h"

// Unpacks a process's packed shim data into the lines of a match. A 64-bit target's data is
// read against the 64-bit databases.
MatchReport UnpackShimDataLines(const void* shimData, bool targetIs64Bit);

// Unpacks a process's packed shim data and writes it like a match.
void UnpackShimData(const void* shimData, bool targetIs64Bit, ReportStream& stream);
