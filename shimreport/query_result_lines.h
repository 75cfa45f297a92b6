// The lines of a match record in either layout.
#pragma once

#include "context_handle_holder.h"
#include "match_lines.h"
#include "sdb_query_result.h"

// Adds a match record's lines: its EXE entries with their nested layers and shim references,
// its LAYER entries, the layer and result flags, the apphelp reference and the databases.
// Tag references are resolved in the holder's context. Counts above a layout's capacity stop
// at the capacity.
void AddQueryResultLines(const ContextHandleHolder& context, const SdbQueryResult456& record,
                         MatchReport& report);

// The older layout: the same lines, with no flags on the EXE entries.
void AddQueryResultLines(const ContextHandleHolder& context, const SdbQueryResult344& record,
                         MatchReport& report);
