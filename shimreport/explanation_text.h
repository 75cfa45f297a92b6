// The text of an explanation block.
#pragma once

#include "../common/report_stream.h"
#include "explanation.h"

// Writes the block that follows a report: "Explanation:", the problems, each EXE entry with
// its database, names, conditions and fixes, then each layer with its fixes.
void WriteExplanation(const Explanation& explanation, ReportStream& stream);
