// The match of one executable against the shim databases.
#pragma once

#include <string>

#include "../common/report_stream.h"
#include "match_lines.h"

// Matches the executable's path against the shim databases.
MatchReport MatchExecutableLines(const std::wstring& path);

// Matches the executable's path against the shim databases and writes the result.
void MatchExecutable(const std::wstring& path, ReportStream& stream);
