// Tests of the database lines of a match record.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "../../shimreport/database_lines.h"
#include "../../shimreport/guid_to_text.h"
#include "fake_shim_engine.h"

namespace {

class DatabaseLines : public ::testing::Test {
protected:
    void SetUp() override {
        InstallFakeEngine();
        for (int slot = 0; slot < 16; ++slot) {
            ids[slot] = FakeGuid(100 + slot);
        }
    }

    std::wstring Lines(DWORD customDbMap) {
        MatchReport report = {false, std::vector<MatchLine>()};
        AddDatabaseLines(report, customDbMap, ids);
        ReportStream stream;
        WriteMatchReport(report, stream);
        return stream.str();
    }

    GUID ids[16];
};

TEST_F(DatabaseLines, OneLinePerSetSlotOfTheLowSixteenBits) {
    EXPECT_EQ(L"", Lines(0));
    EXPECT_EQ(L"", Lines(0xFFFF0000));
    EXPECT_EQ(L"SDB: {100}\r\nSDB: {115}\r\n", Lines(0x8001));
    std::wstring all;
    for (int slot = 0; slot < 16; ++slot) {
        all += L"SDB: {" + std::to_wstring(100 + slot) + L"}\r\n";
    }
    EXPECT_EQ(all, Lines(0xFFFF));
    EXPECT_EQ(50, Fake.guidBufferLength);
}

BOOL WINAPI WritesNothing(const GUID*, LPWSTR, SIZE_T) {
    return FALSE;
}

BOOL WINAPI FillsWithoutTerminator(const GUID*, LPWSTR buffer, SIZE_T length) {
    for (SIZE_T i = 0; i < length; ++i) {
        buffer[i] = L'x';
    }
    return TRUE;
}

TEST_F(DatabaseLines, TextStaysInsideTheBufferWhateverTheEngineLeaves) {
    ApphelpApi.SdbGUIDToString = WritesNothing;
    EXPECT_EQ(L"SDB: \r\n", Lines(0x1));
    ApphelpApi.SdbGUIDToString = FillsWithoutTerminator;
    EXPECT_EQ(std::wstring(50, L'x'), GuidToText(ids[0]));
}

TEST_F(DatabaseLines, MissingConversionIsNamedOnce) {
    ApphelpApi.SdbGUIDToString = nullptr;
    EXPECT_EQ(L"apphelp.dll: SdbGUIDToString not available\r\n", Lines(0x3));
    EXPECT_EQ(L"", GuidToText(ids[0]));
}

} // namespace
