// The report on a process's packed shim data.
#pragma once

#include "../app/report_stream.h"

// Unpacks a process's packed shim data and writes it like a match. A 64-bit target's data is
// read against the 64-bit databases.
void UnpackShimData(const void* shimData, bool targetIs64Bit, ReportStream& stream);
