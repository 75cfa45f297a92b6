// Tests of the match-result record and the packed shim data forms.
#include "app_compat_block.h"
#include "layer_names.h"
#include "query_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

QueryRecord SampleRecord() {
    QueryRecord record = EmptyQueryRecord();
    AddExeToRecord(record, 0x1F4, 0x20);
    AddExeToRecord(record, 0x10000300, 0);
    AddLayerToRecord(record, 0x88);
    record.apphelpTagRef = 0x222;
    record.flags = ResultFlagEnvironmentLayers;
    std::uint8_t id[16];
    std::memset(id, 0x11, sizeof id);
    AddDatabaseToRecord(record, 0, id);
    std::memset(id, 0x5A, sizeof id);
    AddDatabaseToRecord(record, 1, id);
    return record;
}

TEST(QueryRecord, WritesEveryFieldAtItsOffset) {
    std::vector<std::uint8_t> bytes(QueryRecordSize + 4, 0xAB);
    WriteQueryRecord(SampleRecord(), bytes.data());
    EXPECT_EQ(U32At(bytes, 0), 0x1F4u);
    EXPECT_EQ(U32At(bytes, 4), 0x10000300u);
    EXPECT_EQ(U32At(bytes, 64), 0x20u);
    EXPECT_EQ(U32At(bytes, 128), 0x88u);
    EXPECT_EQ(U32At(bytes, 164), 0x222u);
    EXPECT_EQ(U32At(bytes, 168), 2u);
    EXPECT_EQ(U32At(bytes, 172), 1u);
    EXPECT_EQ(U32At(bytes, 192), 1u);
    EXPECT_EQ(U32At(bytes, 196), 3u);
    EXPECT_EQ(bytes[200], 0x11);
    EXPECT_EQ(bytes[216], 0x5A);
    EXPECT_EQ(bytes[232], 0); // unused slots are zero, so the last byte is too
    EXPECT_EQ(bytes[455], 0);
    EXPECT_EQ(U32At(bytes, 456), 0xABABABABu); // nothing past the record
    QueryRecord back = ReadQueryRecord(bytes.data());
    QueryRecord sample = SampleRecord();
    EXPECT_EQ(0, std::memcmp(&back, &sample, sizeof back));
}

TEST(QueryRecord, KeepsReferencesUniqueAndWithinTheirSlots) {
    QueryRecord record = EmptyQueryRecord();
    EXPECT_TRUE(AddExeToRecord(record, 5, 0));
    EXPECT_FALSE(AddExeToRecord(record, 5, 1));
    for (std::uint32_t i = 0; i < 20; ++i)
        AddExeToRecord(record, 100 + i, 0);
    EXPECT_EQ(record.exeCount, MaxExes);
    for (std::uint32_t i = 0; i < 10; ++i)
        AddLayerToRecord(record, 100 + i);
    EXPECT_FALSE(AddLayerToRecord(record, 100));
    EXPECT_EQ(record.layerCount, MaxLayers);
    std::uint8_t id[16] = {0};
    AddDatabaseToRecord(record, 16, id); // no such slot
    EXPECT_EQ(record.customDbMap, 0u);
}

TEST(AppCompatBlock, PacksAndUnpacksTheRecord) {
    std::vector<std::uint8_t> record(QueryRecordSize);
    WriteQueryRecord(SampleRecord(), record.data());
    std::vector<std::uint8_t> block(PackedBlockSize);
    PackAppCompatBlock(record.data(), u"C:\\app.exe", u"WinXPSp3 RunAsInvoker", 0x14C,
                       block.data());
    EXPECT_EQ(U32At(block, 520), PackedBlockSize);
    EXPECT_EQ(U32At(block, 524), AppCompatMagic);
    EXPECT_EQ(U32At(block, 1496), 0x14Cu);
    EXPECT_EQ(block[0], 'C');
    EXPECT_EQ(block[984], 'W');
    EXPECT_EQ(AppCompatBlockSize(block.data(), block.size()), PackedBlockSize);
    std::vector<std::uint8_t> out(QueryRecordSize, 0xAB);
    ASSERT_TRUE(UnpackAppCompatBlock(block.data(), block.size(), out.data()));
    EXPECT_EQ(out, record);
}

TEST(AppCompatBlock, CutsOverlongTextsInsideTheirFields) {
    std::vector<std::uint8_t> record(QueryRecordSize, 0);
    std::vector<std::uint8_t> block(PackedBlockSize);
    PackAppCompatBlock(record.data(), std::u16string(400, u'p'), std::u16string(400, u'l'), 0,
                       block.data());
    EXPECT_EQ(U32At(block, 520), PackedBlockSize); // the path did not run over the size
    EXPECT_EQ(block[518], 0);                      // and kept its terminator
    EXPECT_EQ(block[1494], 0);
    EXPECT_EQ(U32At(block, 1496), 0u);
}

TEST(AppCompatBlock, ReadsTheNewerForms) {
    std::vector<std::uint8_t> record(QueryRecordSize);
    WriteQueryRecord(SampleRecord(), record.data());
    std::vector<std::uint8_t> block(4712, 0);
    block[0] = 3976 & 0xFF;
    block[1] = 3976 >> 8;
    std::uint32_t magic = AppCompatMagic;
    std::memcpy(&block[4], &magic, 4);
    std::memcpy(&block[16], record.data(), QueryRecordSize);
    std::vector<std::uint8_t> out(QueryRecordSize);
    ASSERT_TRUE(UnpackAppCompatBlock(block.data(), block.size(), out.data()));
    EXPECT_EQ(out, record);
    EXPECT_EQ(AppCompatBlockSize(block.data(), block.size()), 3976u);

    std::vector<std::uint8_t> early(4712, 0);
    early[520] = 4712 & 0xFF;
    early[521] = 4712 >> 8;
    std::memcpy(&early[524], &magic, 4);
    std::memcpy(&early[532], record.data(), QueryRecordSize);
    ASSERT_TRUE(UnpackAppCompatBlock(early.data(), early.size(), out.data()));
    EXPECT_EQ(out, record);
}

TEST(AppCompatBlock, RefusesWrongMagicSizeOrCounts) {
    std::vector<std::uint8_t> record(QueryRecordSize);
    WriteQueryRecord(SampleRecord(), record.data());
    std::vector<std::uint8_t> good(PackedBlockSize);
    PackAppCompatBlock(record.data(), u"", u"", 0, good.data());
    std::vector<std::uint8_t> out(QueryRecordSize, 0xAB);
    const std::vector<std::uint8_t> untouched = out;

    std::vector<std::uint8_t> magic = good;
    magic[524] ^= 1;
    std::vector<std::uint8_t> size = good;
    size[520] = 0x10;
    std::vector<std::uint8_t> counts = good;
    counts[528 + 168] = 17; // more exes than slots
    std::vector<std::uint8_t> garbage(PackedBlockSize, 0x5C);
    for (const auto* bad : {&magic, &size, &counts, &garbage}) {
        EXPECT_FALSE(UnpackAppCompatBlock(bad->data(), bad->size(), out.data()));
        EXPECT_EQ(out, untouched);
    }
    // A block shorter than its form: the record would lie past the readable bytes.
    EXPECT_FALSE(UnpackAppCompatBlock(good.data(), 900, out.data()));
    EXPECT_EQ(out, untouched);
    std::vector<std::uint8_t> tiny(good.begin(), good.begin() + 6);
    EXPECT_FALSE(UnpackAppCompatBlock(tiny.data(), tiny.size(), out.data()));
    EXPECT_EQ(AppCompatBlockSize(good.data(), 900), 0u);
    EXPECT_EQ(AppCompatBlockSize(magic.data(), magic.size()), 0u);
    EXPECT_EQ(AppCompatBlockSize(garbage.data(), garbage.size()), 0u);
}

TEST(LayerNames, SplitsOnSpacesAndDropsFlagCharacters) {
    EXPECT_EQ(SplitLayerNames(u"~ WinXPSp3  RunAsInvoker"),
              (std::vector<std::u16string>{u"WinXPSp3", u"RunAsInvoker"}));
    EXPECT_EQ(SplitLayerNames(u"!#HighDpiAware ~"), (std::vector<std::u16string>{u"HighDpiAware"}));
    EXPECT_TRUE(SplitLayerNames(u"").empty());
    EXPECT_TRUE(SplitLayerNames(u"  # ").empty());
}

} // namespace
