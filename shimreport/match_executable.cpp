// Matches one executable against the shim databases.
#include "match_executable.h"

#include "apphelp_api.h"
#include "context_handle_holder.h"
#include "decode_query_result.h"
#include "explain_match.h"
#include "missing_entry.h"
#include "shim_context.h"

MatchReport MatchExecutableLines(const std::wstring& path, Explanation* explanation) {
    MatchReport report = {false, std::vector<MatchLine>()};
    QueryResultBuffer result;
    FillWithMarker(result);
    EnsureApphelpLoaded();
    if (!EntryAvailable(report, ApphelpApi.SdbGetMatchingExe, L"SdbGetMatchingExe")) {
        return report;
    }
    // The databases are opened for x86 images whatever the file's own machine type.
    ContextHandleHolder context(OpenShimContext(report, ImageTypeX86));
    if (context.Handle() == NULL) {
        return report;
    }
    if (ApphelpApi.SdbGetMatchingExe(context.Handle(), path.c_str(), NULL, NULL, 0, &result)) {
        DecodeQueryResult(context, result, report);
        if (explanation != NULL) {
            *explanation = ExplainMatch(context, report, path);
        }
    } else {
        AddMatchLine(report, MatchLineKind::NoMatch);
    }
    return report;
}

void MatchExecutable(const std::wstring& path, ReportStream& stream) {
    WriteMatchReport(MatchExecutableLines(path), stream);
}
