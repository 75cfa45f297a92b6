// The hex dump of a block of bytes.
#pragma once

#include "../common/report_stream.h"

// Writes the bytes as lines of 16: offset, hex pairs, printable characters.
void HexDump(ReportStream& stream, const unsigned char* bytes, int count);
