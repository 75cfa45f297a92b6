// The report of one target of the command line, as text or as a JSON object.
#include "target_reports.h"

#include "../common/output_pane.h"
#include "../common/report_stream.h"
#include "../inspect/current_target.h"
#include "../inspect/identify_window.h"
#include "../inspect/redirection_revert.h"
#include "../inspect/report_driver.h"
#include "../shimreport/explanation_text.h"
#include "command_line.h"
#include "console_output.h"
#include "json_report.h"

namespace {

// A drop gives full paths, so a relative one is made full the same way before the report.
std::wstring FullPath(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, NULL, NULL);
    if (length == 0) {
        return path;
    }
    std::wstring full(length, L'\0');
    const DWORD copied = GetFullPathNameW(path.c_str(), length, &full[0], NULL);
    if (copied == 0 || copied >= length) {
        return path;
    }
    full.resize(copied);
    return full;
}

bool FileExists(const std::wstring& path) {
    // The report looks at the file past WoW64 redirection; so does this test.
    const RedirectionRevert redirection;
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The explanation's block, after the report it explains.
void AppendExplanation(const Explanation& explanation) {
    ReportStream block;
    WriteExplanation(explanation, block);
    AppendToOutputPane(block.str());
}

} // namespace

void WarnOnStandardError(const std::wstring& text) {
    WriteToStandardError(ProgramName() + L": " + text + L"\r\n");
}

bool ReportFileTarget(const std::wstring& given, bool json, bool explain) {
    const std::wstring path = FullPath(given);
    const bool exists = FileExists(path);
    if (!exists) {
        WarnOnStandardError(given + L": no such file");
    }
    if (json) {
        WriteJsonFile(path, exists, explain);
    } else if (explain) {
        Explanation explanation;
        ReportFile(path, &explanation);
        AppendExplanation(explanation);
    } else {
        ReportFile(path);
    }
    return exists;
}

ProcessOutcome ReportProcessTarget(DWORD processId, const std::vector<ListedProcess>& processes,
                                   bool json, bool explain) {
    const std::wstring name = ListedImageName(processes, processId);
    ReportStream label;
    DWORD failureCode = 0;
    const bool opened = IdentifyProcess(processId, label, failureCode);
    if (!opened || CurrentTarget.imagePath.empty()) {
        WarnOnStandardError(L"process " + std::to_wstring(processId) + L": " + label.str());
    }
    if (json) {
        WriteJsonProcess(processId, name, opened, label.str(), failureCode, explain);
    } else if (opened && explain) {
        Explanation explanation;
        ReportProcess(&explanation);
        AppendExplanation(explanation);
    } else if (opened) {
        ReportProcess();
    } else {
        ReportStream header;
        header << L"Process: pid " << processId;
        if (!name.empty()) {
            header << L" (" << name << L")";
        }
        header << crlf << label.str() << crlf;
        AppendToOutputPane(header.str());
    }
    if (opened) {
        return ProcessOutcome::Reported;
    }
    // The system answers an id that no longer names a process as an invalid parameter; so it
    // answers for the idle pseudo-process, id 0, which is listed and never ends.
    return processId != 0 && IsListed(processes, processId) &&
                   failureCode == ERROR_INVALID_PARAMETER
               ? ProcessOutcome::Ended
               : ProcessOutcome::NotOpened;
}
