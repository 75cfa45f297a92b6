// Adds the GUID line of each database a match record names.
#include "database_lines.h"

#include "apphelp_api.h"
#include "guid_to_text.h"
#include "missing_entry.h"

void AddDatabaseLines(MatchReport& report, DWORD customDbMap, const GUID (&databaseIds)[16]) {
    if ((customDbMap & 0xFFFF) == 0) {
        return;
    }
    EnsureApphelpLoaded();
    if (!EntryAvailable(report, ApphelpApi.SdbGUIDToString, L"SdbGUIDToString")) {
        return;
    }
    for (int slot = 0; slot < 16; ++slot) {
        if ((customDbMap & (DWORD(1) << slot)) != 0) {
            AddMatchLine(report, MatchLineKind::Database, GuidToText(databaseIds[slot]));
        }
    }
}
