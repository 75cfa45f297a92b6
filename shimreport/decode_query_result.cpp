// Tells the layout of a match record by how far the engine wrote, and adds its lines.
#include "decode_query_result.h"

#include <cstring>

#include "query_result_lines.h"

namespace {

const unsigned char Marker = 0xAB;

// A layout is recognised when the marker right after its end is untouched and its own last
// byte, the end of the last database GUID, is zero.
bool EndsAt(const QueryResultBuffer& buffer, int size) {
    const unsigned char untouched[4] = {Marker, Marker, Marker, Marker};
    return std::memcmp(buffer.bytes + size, untouched, sizeof untouched) == 0 &&
           buffer.bytes[size - 1] == 0;
}

} // namespace

void FillWithMarker(QueryResultBuffer& buffer) {
    std::memset(buffer.bytes, Marker, sizeof buffer.bytes);
}

void DecodeQueryResult(const ContextHandleHolder& context, const QueryResultBuffer& buffer,
                       MatchReport& report) {
    if (EndsAt(buffer, sizeof(SdbQueryResult456))) {
        report.matched = true;
        AddQueryResultLines(context, buffer.layout456, report);
    } else if (EndsAt(buffer, sizeof(SdbQueryResult344))) {
        report.matched = true;
        AddQueryResultLines(context, buffer.layout344, report);
    } else {
        MatchLine line = MakeMatchLine(MatchLineKind::UnknownFormat);
        std::memcpy(line.firstBytes, buffer.bytes, sizeof line.firstBytes);
        report.lines.push_back(line);
    }
}
