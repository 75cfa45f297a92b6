// The database lines of a match record.
#pragma once

#include <windows.h>

#include "match_lines.h"

// Adds a Database line with the GUID text for each of the 16 database slots whose bit is set in
// the low 16 bits of the map, in slot order.
void AddDatabaseLines(MatchReport& report, DWORD customDbMap, const GUID (&databaseIds)[16]);
