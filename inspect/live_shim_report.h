// The live-state block of a target's report.
#pragma once

#include "../common/report_stream.h"
#include "../shimreport/match_lines.h"
#include "live_shim_state.h"

// Reads the shim state of CurrentTarget's process and writes the live-state block. Switches
// the stream to hexadecimal for the flag words and leaves it so.
void WriteLiveShimInfo(ReportStream& stream);

// The match unpacked from the copied shim data, for the JSON report: the same block as the
// live-state text hands to the engine, refused in the same cases.
MatchReport UnpackedShimDataLines(const LiveShimInfo& info);
