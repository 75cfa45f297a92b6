// The database lines of a match record.
#pragma once

#include <windows.h>

#include "../app/report_stream.h"

// Writes "SDB: " and the GUID text for each of the 16 database slots whose bit is set in the
// low 16 bits of the map, in slot order.
void PrintDatabaseLines(ReportStream& stream, DWORD customDbMap, const GUID (&databaseIds)[16]);
