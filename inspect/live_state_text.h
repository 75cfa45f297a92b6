// The text of the live-state block, written from shim state that was read.
#pragma once

#include "../common/report_stream.h"
#include "live_shim_state.h"

// Writes the match held by a packed shim data block, or why it cannot be had. The block is
// trusted to be whole: its own size field says how much is read.
typedef void (*ShimDataUnpacker)(const void* shimData, bool targetIs64Bit, ReportStream& stream);

// Writes the live-state block of the state: the flag words, the unpacked shim data and the
// dump of AppCompatInfo. Switches the stream to hexadecimal for the flag words and leaves it so.
void WriteLiveState(const LiveShimInfo& info, ShimDataUnpacker unpack, ReportStream& stream);

// The copied shim data to hand to an unpacker, or null when the copy is empty or its own size
// field claims more than was read: such a block is refused like one that cannot be unpacked.
const void* UnpackableShimData(const LiveShimInfo& info);
