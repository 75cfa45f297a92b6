// The reports on a file and on the picked process.
#pragma once

#include <string>

#include "../shimreport/explanation.h"

// Each report fills the explanation, when given one, with why its match came about and which
// layers are stored; the report's text stays the same.

// Reports on one executable file: header "File: " and the body.
void ReportFile(const std::wstring& path, Explanation* explanation = NULL);

// Reports on CurrentTarget as a process: header "Process: " and the body with the live state.
void ReportProcess(Explanation* explanation = NULL);

// The body shared by both reports.
void ReportTarget(const std::wstring& path, Explanation* explanation = NULL);
