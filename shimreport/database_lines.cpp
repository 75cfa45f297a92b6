// Writes the GUID line of each database a match record names.
#include "database_lines.h"

#include "apphelp_api.h"
#include "guid_to_text.h"
#include "missing_entry.h"

void PrintDatabaseLines(ReportStream& stream, DWORD customDbMap, const GUID (&databaseIds)[16]) {
    if ((customDbMap & 0xFFFF) == 0) {
        return;
    }
    EnsureApphelpLoaded();
    if (!EntryAvailable(stream, ApphelpApi.SdbGUIDToString, L"SdbGUIDToString")) {
        return;
    }
    for (int slot = 0; slot < 16; ++slot) {
        if ((customDbMap & (DWORD(1) << slot)) != 0) {
            stream << L"SDB: " << GuidToText(databaseIds[slot]) << crlf;
        }
    }
}
