// Tests of packing and unpacking shim data in the stand-in engine.
#include "engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

// A packed block copied so that it ends exactly at the end of a readable page, with an
// inaccessible page after it.
struct PageEndBlock {
    BYTE* pages;
    BYTE* block;
    PageEndBlock(const void* data, std::size_t size) {
        pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 0x4000, MEM_RESERVE, PAGE_NOACCESS));
        VirtualAlloc(pages, 0x2000, MEM_COMMIT, PAGE_READWRITE);
        block = pages + 0x2000 - size;
        std::memcpy(block, data, size);
    }
    ~PageEndBlock() { VirtualFree(pages, 0, MEM_RELEASE); }
};

struct PackedData : ::testing::Test {
    ContextHolder context{TheEngine().SdbInitDatabaseEx(0, nullptr, 0x14C)};
    std::vector<BYTE> record = MarkedBuffer();
    void* packed = nullptr;
    DWORD packedSize = 0;

    void SetUp() override {
        const Engine& e = TheEngine();
        std::wstring path = std::wstring(SampleFolder) + L"cadwriter.exe";
        ASSERT_TRUE(
            e.SdbGetMatchingExe(context.hsdb, path.c_str(), nullptr, nullptr, 0, record.data()));
        ASSERT_TRUE(e.SdbPackAppCompatData(context.hsdb, record.data(), &packed, &packedSize));
    }
    void TearDown() override {
        if (packed != nullptr)
            HeapFree(GetProcessHeap(), 0, packed);
    }
    std::vector<BYTE> Block() const {
        const BYTE* bytes = static_cast<const BYTE*>(packed);
        return std::vector<BYTE>(bytes, bytes + packedSize);
    }
};

TEST_F(PackedData, RoundTripGivesTheRecordBack) {
    const Engine& e = TheEngine();
    EXPECT_EQ(packedSize, 1500u);
    EXPECT_EQ(e.SdbGetAppCompatDataSize(packed), 1500u);
    std::vector<BYTE> block = Block();
    EXPECT_EQ(FieldAt(block, 524), 0xAC0DEDABu);
    // The layer names travel in the block as text.
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(&block[984])),
              L"WinXPSp3 DisableThemes");
    std::vector<BYTE> out = MarkedBuffer();
    ASSERT_TRUE(e.SdbUnpackAppCompatData(context.hsdb, L"test", packed, out.data()));
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 456, record.begin()));
    EXPECT_EQ(FieldAt(out, 456), 0xABABABABu);

    PageEndBlock atEnd(packed, packedSize);
    EXPECT_TRUE(e.SdbUnpackAppCompatData(context.hsdb, L"test", atEnd.block, out.data()));
}

TEST_F(PackedData, GarbageWrongMagicAndShortBlocksAreRefused) {
    const Engine& e = TheEngine();
    std::vector<BYTE> out = MarkedBuffer();
    std::vector<BYTE> garbage(4096, 0x5C);
    EXPECT_FALSE(e.SdbUnpackAppCompatData(context.hsdb, L"test", garbage.data(), out.data()));

    std::vector<BYTE> magic = Block();
    magic[525] ^= 0x40;
    EXPECT_FALSE(e.SdbUnpackAppCompatData(context.hsdb, L"test", magic.data(), out.data()));
    EXPECT_EQ(e.SdbGetAppCompatDataSize(magic.data()), 0u);

    std::vector<BYTE> size = Block();
    size[520] = 0xE8; // declares 1000 bytes: no known form
    size[521] = 0x03;
    EXPECT_FALSE(e.SdbUnpackAppCompatData(context.hsdb, L"test", size.data(), out.data()));

    // A block cut short by the end of readable memory: refused, not read past.
    PageEndBlock shortBlock(packed, 900);
    EXPECT_FALSE(e.SdbUnpackAppCompatData(context.hsdb, L"test", shortBlock.block, out.data()));
    EXPECT_EQ(e.SdbGetAppCompatDataSize(shortBlock.block), 0u);
    PageEndBlock tiny(packed, 6);
    EXPECT_FALSE(e.SdbUnpackAppCompatData(context.hsdb, L"test", tiny.block, out.data()));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](BYTE b) { return b == 0xAB; }));
}

} // namespace
