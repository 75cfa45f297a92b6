// The decoding of a match record of either layout.
#pragma once

#include "context_handle_holder.h"
#include "match_lines.h"
#include "sdb_query_result.h"

// Sets every byte of the buffer to the marker that later shows how far the engine wrote.
void FillWithMarker(QueryResultBuffer& buffer);

// Tells from the marker bytes which layout the engine wrote and adds the record's lines in it,
// marking the report matched; a record of neither layout gets an UnknownFormat line with its
// first bytes.
void DecodeQueryResult(const ContextHandleHolder& context, const QueryResultBuffer& buffer,
                       MatchReport& report);
