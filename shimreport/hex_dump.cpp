// Writes bytes as a hex dump with offsets and printable characters.
#include "hex_dump.h"

#include <iomanip>
#include <string>

namespace {

const wchar_t HexDigits[] = L"0123456789abcdef";

// The offset in lower-case hexadecimal, at least four digits with zero fill.
void AppendOffset(std::wstring& line, unsigned offset) {
    wchar_t digits[8];
    int length = 0;
    do {
        digits[length++] = HexDigits[offset % 16];
        offset /= 16;
    } while (offset != 0);
    for (int pad = length; pad < 4; ++pad) {
        line += L'0';
    }
    while (length > 0) {
        line += digits[--length];
    }
}

} // namespace

void HexDump(ReportStream& stream, const unsigned char* bytes, int count) {
    if (count <= 0) {
        return;
    }
    // Each line is composed by hand and written unformatted: a large block is dumped in a
    // fraction of the time that formatting every byte through the stream takes.
    std::wstring line;
    for (int lineStart = 0; lineStart < count; lineStart += 16) {
        const int lineLength = count - lineStart < 16 ? count - lineStart : 16;
        line.clear();
        AppendOffset(line, unsigned(lineStart));
        line += L' ';
        for (int i = 0; i < 16; ++i) {
            if (i < lineLength) {
                const unsigned char byte = bytes[lineStart + i];
                line += HexDigits[byte >> 4];
                line += HexDigits[byte & 0xF];
                line += L' ';
            } else {
                line += L"   ";
            }
        }
        for (int i = 0; i < lineLength; ++i) {
            const unsigned char byte = bytes[lineStart + i];
            line += byte >= 0x20 && byte <= 0x7E ? wchar_t(byte) : L'.';
        }
        stream.write(line.data(), static_cast<std::streamsize>(line.size()));
        stream << crlf;
    }
    // The base and the fill stay selected afterwards, like any base chosen in a report.
    stream << std::hex << std::setfill(L'0');
}
