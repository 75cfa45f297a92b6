// The text of a match record in either layout.
#pragma once

#include "../app/report_stream.h"
#include "context_handle_holder.h"
#include "sdb_query_result.h"

// Writes a match record: its EXE entries with their nested layers and shim references, its
// LAYER entries, the layer and result flags, the apphelp reference and the database lines.
// Tag references are resolved in the holder's context. Counts above a layout's capacity stop
// at the capacity.
void PrintQueryResult(const ContextHandleHolder& context, const SdbQueryResult456& record,
                      ReportStream& stream);

// The older layout: the same report, with no flags on the EXE entries.
void PrintQueryResult(const ContextHandleHolder& context, const SdbQueryResult344& record,
                      ReportStream& stream);
