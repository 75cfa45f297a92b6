// The live-state block of a target's report.
#pragma once

#include "../app/report_stream.h"

// Reads the shim state of CurrentTarget's process and writes the live-state block. Switches
// the stream to hexadecimal for the flag words and leaves it so.
void WriteLiveShimInfo(ReportStream& stream);
