// The reports on a file and on the picked process.
#pragma once

#include <string>

// Reports on one executable file: header "File: " and the body.
void ReportFile(const std::wstring& path);

// Reports on CurrentTarget as a process: header "Process: " and the body with the live state.
void ReportProcess();

// The body shared by both reports.
void ReportTarget(const std::wstring& path);
