// quillet-cli: the entry point. Reports on the files and processes of the command line.
#include <windows.h>

#include <string>

#include "command_line.h"
#include "command_run.h"
#include "console_output.h"
#include "target_reports.h"

int wmain(int count, wchar_t** arguments) {
    CliOptions options;
    std::wstring problem;
    if (!ParseCommandLine(count - 1, arguments + 1, options, problem)) {
        WarnOnStandardError(problem);
        WriteToStandardError(UsageText());
        return ExitUsage;
    }
    if (options.help) {
        WriteToStandardOutput(UsageText());
        return ExitReported;
    }
    return ReportCommandLine(options);
}
