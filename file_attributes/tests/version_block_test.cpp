// Tests of the version resource check on sound, lying and truncated blocks.
#include "version_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One node of a version resource: header, key, padded value, padded children.
std::vector<std::uint8_t> Node(const std::u16string& key, std::uint16_t type,
                               const std::vector<std::uint8_t>& value,
                               const std::vector<std::vector<std::uint8_t>>& children) {
    std::vector<std::uint8_t> node(6, 0);
    for (char16_t c : key + u'\0') {
        node.push_back(static_cast<std::uint8_t>(c));
        node.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    while (node.size() % 4 != 0)
        node.push_back(0);
    node.insert(node.end(), value.begin(), value.end());
    for (const std::vector<std::uint8_t>& child : children) {
        while (node.size() % 4 != 0)
            node.push_back(0);
        node.insert(node.end(), child.begin(), child.end());
    }
    std::uint16_t valueLength =
        static_cast<std::uint16_t>(type == 1 ? value.size() / 2 : value.size());
    node[0] = static_cast<std::uint8_t>(node.size());
    node[1] = static_cast<std::uint8_t>(node.size() >> 8);
    node[2] = static_cast<std::uint8_t>(valueLength);
    node[3] = static_cast<std::uint8_t>(valueLength >> 8);
    node[4] = static_cast<std::uint8_t>(type);
    return node;
}

std::vector<std::uint8_t> Text(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    for (char16_t c : text + u'\0') {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

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
