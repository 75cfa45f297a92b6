// quillet-cli: the entry point. Reports on the files and processes of the command line.
#include <windows.h>

#include <string>
#include <vector>

#include "../common/platform_banner.h"
#include "command_line.h"
#include "console_output.h"
#include "json_report.h"
#include "process_list.h"
#include "target_reports.h"

namespace {

const int ExitReported = 0;
const int ExitTargetMissing = 1;
const int ExitUsage = 2;

} // namespace

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
    std::vector<ListedProcess> processes;
    bool anyProcess = options.all;
    for (const CliTarget& target : options.targets) {
        anyProcess = anyProcess || target.isProcess;
    }
    if (anyProcess) {
        processes = ListProcesses();
    }
    if (options.json) {
        WriteJsonBanner();
    } else {
        WritePlatformBanner();
    }
    bool allFound = true;
    for (const CliTarget& target : options.targets) {
        const bool found =
            target.isProcess
                ? ReportProcessTarget(target.processId, processes, options.json, options.explain)
                : ReportFileTarget(target.path, options.json, options.explain);
        allFound = found && allFound;
    }
    if (options.all) {
        const DWORD self = GetCurrentProcessId();
        for (const ListedProcess& listed : processes) {
            // Id 0 is the idle pseudo-process, which no one can open.
            if (listed.processId != self && listed.processId != 0) {
                allFound = ReportProcessTarget(listed.processId, processes, options.json,
                                               options.explain) &&
                           allFound;
            }
        }
    }
    return allFound && OutputComplete() ? ExitReported : ExitTargetMissing;
}
