// Opens a shim-engine context on the main databases.
#include "shim_context.h"

#include "apphelp_api.h"
#include "missing_entry.h"

HSDB OpenShimContext(ReportStream& stream, USHORT imageType) {
    if (!EntryAvailable(stream, ApphelpApi.SdbInitDatabaseEx, L"SdbInitDatabaseEx")) {
        return NULL;
    }
    HSDB context = ApphelpApi.SdbInitDatabaseEx(0, NULL, imageType);
    if (context == NULL) {
        stream << L"SdbInitDatabaseEx failed" << crlf;
    } else {
        // The context still serves the report; only its release cannot be made.
        EntryAvailable(stream, ApphelpApi.SdbReleaseDatabase, L"SdbReleaseDatabase");
    }
    return context;
}
