// Tests of the version resource check on sound, lying and truncated blocks.
#include "test_images.h"
#include "version_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using test_images::Node;
using test_images::Text;

std::vector<std::uint8_t> SampleBlock() {
    std::vector<std::uint8_t> fixed(52, 0);
    auto company = Node(u"CompanyName", 1, Text(u"Northwind"), {});
    auto table = Node(u"040904b0", 1, {}, {company});
    auto strings = Node(u"StringFileInfo", 1, {}, {table});
    return Node(u"VS_VERSION_INFO", 0, fixed, {strings});
}

bool Sound(const std::vector<std::uint8_t>& block) {
    return VersionBlockIsSound(ByteView{block.data(), block.size()});
}

TEST(VersionBlock, AcceptsAWellFormedTree) {
    EXPECT_TRUE(Sound(SampleBlock()));
}

TEST(VersionBlock, RefusesLengthsThatLie) {
    std::vector<std::uint8_t> block = SampleBlock();
    std::vector<std::uint8_t> longRoot = block;
    longRoot[0] = static_cast<std::uint8_t>(block.size() + 4); // root past the buffer
    longRoot[1] = static_cast<std::uint8_t>((block.size() + 4) >> 8);
    EXPECT_FALSE(Sound(longRoot));

    // The first child (StringFileInfo) starts after the root's key and 52-byte value.
    std::size_t child = 40 + 52; // header and key padded to 40, then the fixed info
    std::vector<std::uint8_t> longChild = block;
    longChild[child] = 0xF0;
    longChild[child + 1] = 0x0F;
    EXPECT_FALSE(Sound(longChild));

    std::vector<std::uint8_t> zeroChild = block;
    zeroChild[child] = 0;
    zeroChild[child + 1] = 0;
    EXPECT_FALSE(Sound(zeroChild));

    std::vector<std::uint8_t> bigValue = block;
    bigValue[2] = 0xFF; // a fixed-info value larger than the node
    bigValue[3] = 0x7F;
    EXPECT_FALSE(Sound(bigValue));

    std::vector<std::uint8_t> unterminated(block.begin(), block.begin() + 20);
    unterminated[0] = 20;
    unterminated[1] = 0;
    EXPECT_FALSE(Sound(unterminated));
}

TEST(VersionBlock, TruncationsNeverReadPastTheBuffer) {
    std::vector<std::uint8_t> block = SampleBlock();
    for (std::size_t size = 0; size < block.size(); ++size) {
        std::vector<std::uint8_t> prefix(block.begin(), block.begin() + size);
        EXPECT_FALSE(Sound(prefix)) << size;
    }
}

} // namespace
