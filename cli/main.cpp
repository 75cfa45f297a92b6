// quillet-cli: the entry point. Reports on the files and processes of the command line.
#include <windows.h>

#include <string>

#include "command_line.h"
#include "command_run.h"
#include "console_output.h"
#include "target_reports.h"
#include "../common/utf8_text.h"
#include "version.h"

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
    if (options.version) {
        WriteToStandardOutput(WideFromUtf8(quillet::version_text(Utf8(ProgramName()))) + L"\r\n");
        return ExitReported;
    }
    return ReportCommandLine(options);
}
