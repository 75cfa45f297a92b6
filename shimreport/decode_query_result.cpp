// Tells the layout of a match record by how far the engine wrote, and prints it.
#include "decode_query_result.h"

#include <cstring>

#include "hex_dump.h"
#include "print_query_result.h"

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
                       ReportStream& stream) {
    if (EndsAt(buffer, sizeof(SdbQueryResult456))) {
        PrintQueryResult(context, buffer.layout456, stream);
    } else if (EndsAt(buffer, sizeof(SdbQueryResult344))) {
        PrintQueryResult(context, buffer.layout344, stream);
    } else {
        stream << L"Unknown format for SDBQUERYRESULT" << crlf;
        HexDump(stream, buffer.bytes, 4);
        stream << crlf;
    }
}
