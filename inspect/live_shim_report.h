// The live-state block of a target's report.
#pragma once

#include "../app/report_stream.h"
#include "../shimreport/match_lines.h"
#include "live_shim_state.h"

// Reads the shim state of CurrentTarget's process and writes the live-state block. Switches
// the stream to hexadecimal for the flag words and leaves it so.
void WriteLiveShimInfo(ReportStream& stream);

// The match unpacked from the copied shim data, which must not be empty; a block whose own size
// field claims more than was read is refused like one the engine cannot unpack.
MatchReport UnpackedShimDataLines(const LiveShimInfo& info);

// Writes the text of the same match, as the live-state block does.
void WriteUnpackedShimData(const LiveShimInfo& info, ReportStream& stream);
