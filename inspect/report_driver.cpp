// Composes the report on one file or on the picked process.
#include "report_driver.h"

#include "../common/output_pane.h"
#include "../common/report_stream.h"
#include "../shimreport/match_executable.h"
#include "compat_layer_guard.h"
#include "current_target.h"
#include "live_shim_report.h"
#include "redirection_revert.h"
#include "stored_layers.h"

namespace {

void ReportWithHeader(const wchar_t* header, const std::wstring& path) {
    ReportStream stream;
    stream << header << path << crlf;
    AppendToOutputPane(stream.str());
    ReportTarget(path);
}

} // namespace

void ReportFile(const std::wstring& path) {
    CompatLayerGuard compatLayer;
    CurrentTarget.processId = 0;
    ReportWithHeader(L"File: ", path);
}

void ReportProcess() {
    CompatLayerGuard compatLayer;
    ReportWithHeader(L"Process: ", CurrentTarget.imagePath);
}

void ReportTarget(const std::wstring& path) {
    ReportStream stream;
    RedirectionRevert redirection;
    stream << L"SdbGetMatchingExe:" << crlf;
    MatchExecutable(path, stream);
    WriteStoredLayers(path, stream);
    if (CurrentTarget.processId != 0) {
        WriteLiveShimInfo(stream);
    }
    AppendToOutputPane(stream.str());
}
