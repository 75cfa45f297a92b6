// Unpacks a process's packed shim data through the engine and writes it.
#include "unpack_shim_data.h"

#include "apphelp_api.h"
#include "context_handle_holder.h"
#include "decode_query_result.h"
#include "missing_entry.h"
#include "shim_context.h"

void UnpackShimData(const void* shimData, bool targetIs64Bit, ReportStream& stream) {
    QueryResultBuffer result;
    FillWithMarker(result);
    EnsureApphelpLoaded();
    if (!EntryAvailable(stream, ApphelpApi.SdbUnpackAppCompatData, L"SdbUnpackAppCompatData")) {
        return;
    }
    ContextHandleHolder context(
        OpenShimContext(stream, targetIs64Bit ? ImageTypeX64 : ImageTypeX86));
    if (context.Handle() == NULL) {
        return;
    }
    // The engine takes the block as its own, unqualified pointer type; it only reads it.
    if (ApphelpApi.SdbUnpackAppCompatData(context.Handle(), L"test", const_cast<void*>(shimData),
                                          &result)) {
        DecodeQueryResult(context, result, stream);
    } else {
        stream << L"Unable to unpack AppCompatData" << crlf << crlf;
    }
}
