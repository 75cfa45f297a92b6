// The report of one target of the command line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "process_list.h"

// Writes "quillet-cli: ", the text and a line end to standard error.
void WarnOnStandardError(const std::wstring& text);

// Reports on a file as a drop of it does, or as a JSON object; with explain, the explanation
// follows the report (its block, or the object's "explain" field). False when it does not exist.
bool ReportFileTarget(const std::wstring& given, bool json, bool explain);

// Reports on a process as a pick of one of its windows does, or as a JSON object. A process
// that cannot be opened gets a header with its id and listed name and the message that the
// picker's label shows. False then. The explanation follows as for a file.
bool ReportProcessTarget(DWORD processId, const std::vector<ListedProcess>& processes, bool json,
                         bool explain);
