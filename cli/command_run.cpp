// Reports every target of the command line once, and says how the run went.
#include "command_run.h"

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "../common/platform_banner.h"
#include "console_output.h"
#include "inventory_report.h"
#include "json_report.h"
#include "process_list.h"
#include "target_reports.h"

namespace {

// The processes reported so far, by how their report went, and each id once.
class ProcessTally {
public:
    ProcessTally() : reported_(0), notOpened_(0), ended_(0) {}

    // Reports the process unless it was reported already; false when it was reported now but
    // could not be opened.
    bool Report(DWORD processId, const std::vector<ListedProcess>& processes, bool json,
                bool explain) {
        if (!done_.insert(processId).second) {
            return true;
        }
        switch (ReportProcessTarget(processId, processes, json, explain)) {
        case ProcessOutcome::Reported:
            ++reported_;
            return true;
        case ProcessOutcome::NotOpened:
            ++notOpened_;
            return false;
        case ProcessOutcome::Ended:
            ++ended_;
            return false;
        }
        return false;
    }

    void WriteSummary(bool json) const {
        if (done_.empty()) {
            return;
        }
        WarnOnStandardError(L"processes: " + std::to_wstring(reported_) + L" reported, " +
                            std::to_wstring(notOpened_) + L" could not be opened, " +
                            std::to_wstring(ended_) + L" ended before being read");
        if (json) {
            WriteJsonSummary(reported_, notOpened_, ended_);
        }
    }

private:
    std::set<DWORD> done_;
    unsigned reported_;
    unsigned notOpened_;
    unsigned ended_;
};

} // namespace

int ReportCommandLine(const CliOptions& options) {
    bool anyProcess = options.all;
    for (const CliTarget& target : options.targets) {
        anyProcess = anyProcess || target.isProcess;
    }
    std::vector<ListedProcess> processes;
    DWORD listError = 0;
    const bool listed = !anyProcess || ListProcesses(processes, listError);
    if (options.json) {
        WriteJsonBanner();
    } else {
        WritePlatformBanner();
    }
    if (!listed) {
        WarnOnStandardError(L"the process list could not be taken: error " +
                            std::to_wstring(listError));
    }
    bool allFound = listed;
    ProcessTally tally;
    for (const CliTarget& target : options.targets) {
        const bool found =
            target.isProcess
                ? tally.Report(target.processId, processes, options.json, options.explain)
                : ReportFileTarget(target.path, options.json, options.explain);
        allFound = found && allFound;
    }
    if (options.all) {
        const DWORD self = GetCurrentProcessId();
        for (const ListedProcess& swept : processes) {
            // Id 0 is the idle pseudo-process, which no one can open.
            if (swept.processId != self && swept.processId != 0) {
                tally.Report(swept.processId, processes, options.json, options.explain);
            }
        }
    }
    tally.WriteSummary(options.json);
    InventoryOutcome inventory = {false, true};
    if (options.databases || options.layers) {
        inventory =
            ReportInventory(options.databases, options.layers, options.json, options.minSeverity);
    }
    const bool whole = allFound && inventory.complete && OutputComplete();
    if (inventory.alarm) {
        return whole ? ExitInventoryAlarm : ExitAlarmAndMissing;
    }
    return whole ? ExitReported : ExitTargetMissing;
}
