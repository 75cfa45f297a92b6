// Tests of the live-state text written from state already read, with an unpacker of the test's.
#include <gtest/gtest.h>

#include <vector>

#include "../../inspect/live_state_text.h"

namespace {

const void* UnpackedBlock = nullptr;
bool UnpackedAs64Bit = false;

void MarkingUnpacker(const void* shimData, bool targetIs64Bit, ReportStream& stream) {
    UnpackedBlock = shimData;
    UnpackedAs64Bit = targetIs64Bit;
    stream << L"[unpacked]" << crlf;
}

// The unpacker that the caller passes is the one handed the copy, with the target's pointer
// size; its text stands between the flag words and the dump of AppCompatInfo.
TEST(LiveStateText, GivenUnpackerWritesBetweenTheFlagWordsAndTheDump) {
    const LiveShimInfo info = {0x400,
                               0x80,
                               std::vector<unsigned char>(LargestRemoteBlock, 0),
                               std::vector<unsigned char>(LargestRemoteBlock, 'A'),
                               32,
                               true,
                               SmallestRemoteBlock,
                               true};
    ReportStream stream;
    WriteLiveState(info, MarkingUnpacker, stream);
    const std::wstring dumpLine =
        L"41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 41 AAAAAAAAAAAAAAAA\r\n";
    EXPECT_EQ(L"\r\nLive info:\r\nAppCompatFlags: 0x400\r\nAppCompatFlags: 0x80\r\n[unpacked]\r\n"
              L"AppCompatInfo:\r\n0000 " +
                  dumpLine + L"0010 " + dumpLine,
              stream.str());
    EXPECT_EQ(&info.shimData[0], UnpackedBlock);
    EXPECT_TRUE(UnpackedAs64Bit);
}

} // namespace
