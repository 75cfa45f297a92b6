// Unpacks a process's packed shim data through the engine.
#include "unpack_shim_data.h"

#include "apphelp_api.h"
#include "context_handle_holder.h"
#include "decode_query_result.h"
#include "missing_entry.h"
#include "shim_context.h"

MatchReport UnpackShimDataLines(const void* shimData, bool targetIs64Bit) {
    MatchReport report = {false, std::vector<MatchLine>()};
    QueryResultBuffer result;
    FillWithMarker(result);
    EnsureApphelpLoaded();
    if (!EntryAvailable(report, ApphelpApi.SdbUnpackAppCompatData, L"SdbUnpackAppCompatData")) {
        return report;
    }
    ContextHandleHolder context(
        OpenShimContext(report, targetIs64Bit ? ImageTypeX64 : ImageTypeX86));
    if (context.Handle() == NULL) {
        return report;
    }
    // The engine takes the block as its own, unqualified pointer type; it only reads it.
    if (ApphelpApi.SdbUnpackAppCompatData(context.Handle(), L"test", const_cast<void*>(shimData),
                                          &result)) {
        DecodeQueryResult(context, result, report);
    } else {
        AddMatchLine(report, MatchLineKind::UnpackFailed);
    }
    return report;
}

void UnpackShimData(const void* shimData, bool targetIs64Bit, ReportStream& stream) {
    WriteMatchReport(UnpackShimDataLines(shimData, targetIs64Bit), stream);
}
