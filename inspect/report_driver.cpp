// Composes the report on one file or on the picked process.
#include "report_driver.h"

#include "../common/output_pane.h"
#include "../common/report_stream.h"
#include "../shimreport/explain_match.h"
#include "../shimreport/match_executable.h"
#include "compat_layer_guard.h"
#include "current_target.h"
#include "live_shim_report.h"
#include "redirection_revert.h"
#include "stored_layers.h"

namespace {

void ReportWithHeader(const wchar_t* header, const std::wstring& path, Explanation* explanation) {
    ReportStream stream;
    stream << header << path << crlf;
    AppendToOutputPane(stream.str());
    ReportTarget(path, explanation);
}

} // namespace

void ReportFile(const std::wstring& path, Explanation* explanation) {
    CompatLayerGuard compatLayer;
    CurrentTarget.processId = 0;
    ReportWithHeader(L"File: ", path, explanation);
}

void ReportProcess(Explanation* explanation) {
    CompatLayerGuard compatLayer;
    ReportWithHeader(L"Process: ", CurrentTarget.imagePath, explanation);
}

void ReportTarget(const std::wstring& path, Explanation* explanation) {
    ReportStream stream;
    RedirectionRevert redirection;
    stream << L"SdbGetMatchingExe:" << crlf;
    WriteMatchReport(MatchExecutableLines(path, explanation), stream);
    const StoredLayers stored = ReadStoredLayers(path);
    WriteStoredLayers(stored, stream);
    if (explanation != NULL) {
        AddStoredLayers(*explanation, stored.perUser, stored.userLayers, stored.perMachine,
                        stored.machineLayers);
    }
    if (CurrentTarget.processId != 0) {
        WriteLiveShimInfo(stream);
    }
    AppendToOutputPane(stream.str());
}
