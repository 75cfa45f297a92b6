// Matches one executable against the shim databases and writes the result.
#include "match_executable.h"

#include "apphelp_api.h"
#include "context_handle_holder.h"
#include "decode_query_result.h"
#include "missing_entry.h"
#include "shim_context.h"

void MatchExecutable(const std::wstring& path, ReportStream& stream) {
    QueryResultBuffer result;
    FillWithMarker(result);
    EnsureApphelpLoaded();
    if (!EntryAvailable(stream, ApphelpApi.SdbGetMatchingExe, L"SdbGetMatchingExe")) {
        return;
    }
    // The databases are opened for x86 images whatever the file's own machine type.
    ContextHandleHolder context(OpenShimContext(stream, ImageTypeX86));
    if (context.Handle() == NULL) {
        return;
    }
    if (ApphelpApi.SdbGetMatchingExe(context.Handle(), path.c_str(), NULL, NULL, 0, &result)) {
        DecodeQueryResult(context, result, stream);
    } else {
        stream << L"No match" << crlf;
    }
}
