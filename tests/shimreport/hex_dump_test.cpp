// Tests of the hex dump.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../shimreport/hex_dump.h"

namespace {

std::wstring Dump(const std::vector<unsigned char>& bytes) {
    ReportStream stream;
    HexDump(stream, bytes.data(), int(bytes.size()));
    return stream.str();
}

std::vector<unsigned char> Counting(int count) {
    std::vector<unsigned char> bytes(count);
    for (int i = 0; i < count; ++i) {
        bytes[i] = static_cast<unsigned char>(0x41 + i % 26);
    }
    return bytes;
}

TEST(HexDump, NothingForNoBytes) {
    ReportStream stream;
    unsigned char byte = 0x41;
    HexDump(stream, &byte, 0);
    HexDump(stream, &byte, -1);
    stream << 255;
    EXPECT_EQ(L"255", stream.str());
}

TEST(HexDump, FullLineThenPartialLineAlignedToTheCharacterColumn) {
    EXPECT_EQ(L"0000 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 ABCDEFGHIJKLMNOP\r\n",
              Dump(Counting(16)));
    EXPECT_EQ(L"0000 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 ABCDEFGHIJKLMNOP\r\n"
              L"0010 51 " +
                  std::wstring(45, L' ') + L"Q\r\n",
              Dump(Counting(17)));
}

TEST(HexDump, OnlyPrintableBytesShowAsThemselves) {
    EXPECT_EQ(L"0000 1f 20 7e 7f 00 ff " + std::wstring(30, L' ') + L". ~...\r\n",
              Dump({0x1F, 0x20, 0x7E, 0x7F, 0x00, 0xFF}));
}

TEST(HexDump, OffsetsWidenPastFourDigits) {
    std::wstring text = Dump(Counting(0x10011));
    EXPECT_NE(std::wstring::npos, text.find(L"\r\nfff0 "));
    EXPECT_NE(std::wstring::npos, text.find(L"\r\n10000 "));
    EXPECT_NE(std::wstring::npos, text.find(L"\r\n10010 "));
}

TEST(HexDump, LeavesHexadecimalSelectedWithoutAWidth) {
    ReportStream stream;
    unsigned char byte = 0x41;
    HexDump(stream, &byte, 1);
    stream << 255u;
    EXPECT_EQ(L"0000 41 " + std::wstring(45, L' ') + L"A\r\nff", stream.str());
}

} // namespace
