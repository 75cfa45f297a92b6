#pragma once

#include <string>

#include "../app/report_stream.h"

// Matches the executable's path against the shim databases and writes the result.
void MatchExecutable(const std::wstring& path, ReportStream& stream);

// Unpacks a process's packed shim data and writes it like a match.
void UnpackShimData(const void* shimData, bool targetIs64Bit, ReportStream& stream);
