// Opens a shim-engine context on the main databases.
#include "shim_context.h"

#include "apphelp_api.h"
#include "missing_entry.h"

HSDB OpenShimContext(MatchReport& report, USHORT imageType) {
    if (!EntryAvailable(report, ApphelpApi.SdbInitDatabaseEx, L"SdbInitDatabaseEx")) {
        return NULL;
    }
    HSDB context = ApphelpApi.SdbInitDatabaseEx(0, NULL, imageType);
    if (context == NULL) {
        AddMatchLine(report, MatchLineKind::Failure, L"SdbInitDatabaseEx failed");
    } else {
        // The context still serves the report; only its release cannot be made.
        EntryAvailable(report, ApphelpApi.SdbReleaseDatabase, L"SdbReleaseDatabase");
    }
    return context;
}
