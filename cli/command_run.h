// The run of a parsed command line: every target reported, the summary, the exit code.
#pragma once

#include "command_line.h"

// The exit codes of the program.
const int ExitReported = 0;        // every target was reported
const int ExitTargetMissing = 1;   // a target named by the user could not be reported
const int ExitUsage = 2;           // the command line could not be parsed
const int ExitInventoryAlarm = 3;  // --databases or --layers found an anomaly or a finding
const int ExitAlarmAndMissing = 4; // both 3 and 1, so that neither hides the other

// Writes the banner, then reports the files and --pid processes in the order given, then with
// --all every other listed process but this one, each process once. A run that reported
// processes closes with a summary on standard error (and a summary object in JSON). Only what
// the user named counts against the exit code: a missing file, a --pid that could not be
// opened, the process list that --all needs; a swept process that could not be opened or
// ended is reported and counted but is no failure. ExitTargetMissing as well when standard
// output could not take the whole report, or the inventory of --databases and --layers could
// not read all it needed (each thing named in a warning). Then the inventory's alarm, which
// gives ExitInventoryAlarm, or ExitAlarmAndMissing beside a cause of ExitTargetMissing.
int ReportCommandLine(const CliOptions& options);
