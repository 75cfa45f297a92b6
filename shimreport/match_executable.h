// The match of one executable against the shim databases.
#pragma once

#include <string>

#include "../common/report_stream.h"
#include "explanation.h"
#include "match_lines.h"

// Matches the executable's path against the shim databases. With an explanation to fill, the
// matched entries are explained in the same context, before it is released.
MatchReport MatchExecutableLines(const std::wstring& path, Explanation* explanation = NULL);

// Matches the executable's path against the shim databases and writes the result.
void MatchExecutable(const std::wstring& path, ReportStream& stream);
