// The console program's options, parsed from its arguments.
#pragma once

#include <windows.h>

#include "../sdb/sdb_audit.h"

#include <string>
#include <vector>

// One thing to report on, in the order of the command line.
struct CliTarget {
    bool isProcess;
    std::wstring path; // a file, as given
    DWORD processId;   // a process given with --pid
};

struct CliOptions {
    bool help;
    bool version; // the program's version line
    bool json;
    bool all;
    bool databases; // the installed shim databases of the system
    bool layers;    // the layers stored for programs, per machine and per user
    bool explain;   // an explanation block after each report
    std::vector<CliTarget> targets;
    // The inventory lists findings of this severity and above; the summary counts all.
    sdb::AuditSeverity minSeverity;
};

// Parses the arguments after the program name. False with the reason in problem for an
// unknown option, a --pid without a number, a --min-severity without a level, or nothing
// to report.
bool ParseCommandLine(int count, const wchar_t* const* arguments, CliOptions& options,
                      std::wstring& problem);

// The program's name, which says the architecture of the build.
std::wstring ProgramName();

// The usage text, each line ended with CR LF.
std::wstring UsageText();
