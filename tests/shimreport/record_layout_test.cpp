// Tests that the match record layouts have the engine's offsets.
#include <cstddef>

#include <gtest/gtest.h>

#include "../../shimreport/sdb_query_result.h"

namespace {

TEST(RecordLayout, LargerLayoutFieldsSitAtTheEnginesOffsets) {
    EXPECT_EQ(0u, offsetof(SdbQueryResult456, exeTagRefs));
    EXPECT_EQ(64u, offsetof(SdbQueryResult456, exeFlags));
    EXPECT_EQ(128u, offsetof(SdbQueryResult456, layerTagRefs));
    EXPECT_EQ(160u, offsetof(SdbQueryResult456, layerFlags));
    EXPECT_EQ(164u, offsetof(SdbQueryResult456, apphelpTagRef));
    EXPECT_EQ(168u, offsetof(SdbQueryResult456, exeCount));
    EXPECT_EQ(172u, offsetof(SdbQueryResult456, layerCount));
    EXPECT_EQ(176u, offsetof(SdbQueryResult456, matchId));
    EXPECT_EQ(192u, offsetof(SdbQueryResult456, resultFlags));
    EXPECT_EQ(196u, offsetof(SdbQueryResult456, customDbMap));
    EXPECT_EQ(200u, offsetof(SdbQueryResult456, databaseIds));
    EXPECT_EQ(456u, offsetof(SdbQueryResult456, databaseIds) + sizeof(GUID) * 16);
    EXPECT_EQ(456u, sizeof(SdbQueryResult456));
}

TEST(RecordLayout, SmallerLayoutFieldsSitAtTheEnginesOffsets) {
    EXPECT_EQ(0u, offsetof(SdbQueryResult344, exeTagRefs));
    EXPECT_EQ(16u, offsetof(SdbQueryResult344, layerTagRefs));
    EXPECT_EQ(48u, offsetof(SdbQueryResult344, layerFlags));
    EXPECT_EQ(52u, offsetof(SdbQueryResult344, apphelpTagRef));
    EXPECT_EQ(56u, offsetof(SdbQueryResult344, exeCount));
    EXPECT_EQ(60u, offsetof(SdbQueryResult344, layerCount));
    EXPECT_EQ(64u, offsetof(SdbQueryResult344, matchId));
    EXPECT_EQ(80u, offsetof(SdbQueryResult344, resultFlags));
    EXPECT_EQ(84u, offsetof(SdbQueryResult344, customDbMap));
    EXPECT_EQ(88u, offsetof(SdbQueryResult344, databaseIds));
    EXPECT_EQ(344u, offsetof(SdbQueryResult344, databaseIds) + sizeof(GUID) * 16);
    EXPECT_EQ(344u, sizeof(SdbQueryResult344));
}

TEST(RecordLayout, BufferHoldsTwiceTheLargerLayoutWithBothReadFromItsStart) {
    QueryResultBuffer buffer;
    EXPECT_EQ(912u, sizeof buffer.bytes);
    EXPECT_EQ(static_cast<void*>(buffer.bytes), static_cast<void*>(&buffer.layout456));
    EXPECT_EQ(static_cast<void*>(buffer.bytes), static_cast<void*>(&buffer.layout344));
    EXPECT_EQ(0u, alignof(QueryResultBuffer) % alignof(DWORD));
}

} // namespace
