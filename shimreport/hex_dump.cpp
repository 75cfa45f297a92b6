// Writes bytes as a hex dump with offsets and printable characters.
#include "hex_dump.h"

#include <iomanip>

void HexDump(ReportStream& stream, const unsigned char* bytes, int count) {
    for (int lineStart = 0; lineStart < count; lineStart += 16) {
        int lineLength = count - lineStart < 16 ? count - lineStart : 16;
        // The base and the fill stay selected afterwards, like any base chosen in a report.
        stream << std::hex << std::setfill(L'0') << std::setw(4) << unsigned(lineStart) << L' ';
        for (int i = 0; i < 16; ++i) {
            if (i < lineLength) {
                stream << std::setw(2) << unsigned(bytes[lineStart + i]) << L' ';
            } else {
                stream << L"   ";
            }
        }
        for (int i = 0; i < lineLength; ++i) {
            unsigned char byte = bytes[lineStart + i];
            stream << (byte >= 0x20 && byte <= 0x7E ? wchar_t(byte) : L'.');
        }
        stream << crlf;
    }
}
