// The match of one executable against the shim databases.
#pragma once

#include <string>

#include "../app/report_stream.h"
#include "unpack_shim_data.h"

// Matches the executable's path against the shim databases and writes the result.
void MatchExecutable(const std::wstring& path, ReportStream& stream);
