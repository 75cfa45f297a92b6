// The crlf manipulator that ends report lines.
#include "report_stream.h"

std::wostream& crlf(std::wostream& stream) {
    stream.put(stream.widen('\r'));
    stream.put(stream.widen('\n'));
    return stream;
}
