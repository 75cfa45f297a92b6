// The report of one target of the command line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "process_list.h"

// How the report of a process went.
enum class ProcessOutcome {
    Reported,  // opened and reported as a pick reports it
    NotOpened, // reported with why it could not be opened
    Ended      // a listed process that was gone by the time it was opened
};

// Writes "quillet-cli: ", the text and a line end to standard error.
void WarnOnStandardError(const std::wstring& text);

// Reports on a file as a drop of it does, or as a JSON object; with explain, the explanation
// follows the report (its block, or the object's "explain" field). False when it does not exist.
bool ReportFileTarget(const std::wstring& given, bool json, bool explain);

// Reports on a process as a pick of one of its windows does, or as a JSON object. A process
// that cannot be opened gets a header with its id and listed name and the message that the
// picker's label shows. The label's message goes to standard error as well whenever it is a
// failure, in both modes. The explanation follows as for a file.
ProcessOutcome ReportProcessTarget(DWORD processId, const std::vector<ListedProcess>& processes,
                                   bool json, bool explain);
