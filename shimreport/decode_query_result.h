// The decoding of a match record of either layout.
#pragma once

#include "../app/report_stream.h"
#include "context_handle_holder.h"
#include "sdb_query_result.h"

// Sets every byte of the buffer to the marker that later shows how far the engine wrote.
void FillWithMarker(QueryResultBuffer& buffer);

// Tells from the marker bytes which layout the engine wrote and prints the record in it; a
// record of neither layout is reported with a dump of its first bytes.
void DecodeQueryResult(const ContextHandleHolder& context, const QueryResultBuffer& buffer,
                       ReportStream& stream);
