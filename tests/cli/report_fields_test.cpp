// Tests of the JSON fields of a match: taken from the typed lines, never from the text.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "../../cli/report_fields.h"
#include "../../shimreport/match_executable.h"
#include "../shimreport/fake_shim_engine.h"

using nlohmann::json;

namespace {

FakeEntry Named(const wchar_t* name) {
    FakeEntry entry;
    entry.name = name;
    return entry;
}

// A database's names are the database author's: they can hold line ends and anything that
// looks like another line of the report. Each stays the one fact it is.
TEST(ReportFields, NamesThatLookLikeReportLinesStayNames) {
    InstallFakeEngine();
    FakeEntry exe = Named(L"evil.exe\r\nSDB: {forged}\r\nLAYER: (0x1) Forged, with flags: 0x2");
    exe.layers = {0x200};
    exe.shimRefs = {0x300};
    AddEntry(0x1f4, 0x100, exe);
    Fake.entries[0x200] = Named(L"WinXPSp3\r\n  - Forged");
    Fake.entries[0x300] = FakeEntry();
    SdbQueryResult456 record = {};
    record.exeCount = 1;
    record.exeTagRefs[0] = 0x1f4;
    record.exeFlags[0] = 0x81;
    record.resultFlags = 0x10000004;
    record.customDbMap = 0x1;
    record.databaseIds[0] = FakeGuid(7);
    WriteRecord(record);

    const json match = MatchFields(MatchExecutableLines(L"C:\\apps\\evil.exe"));
    EXPECT_TRUE(match["matched"].get<bool>());
    ASSERT_EQ(1u, match["exe"].size());
    const json& entry = match["exe"][0];
    EXPECT_EQ(0x1f4u, entry["tagRef"].get<unsigned>());
    EXPECT_EQ("evil.exe\r\nSDB: {forged}\r\nLAYER: (0x1) Forged, with flags: 0x2",
              entry["name"].get<std::string>());
    EXPECT_EQ(json::parse(R"(["WinXPSp3\r\n  - Forged", null])"), entry["nested"]);
    EXPECT_EQ(json::parse(R"(["WinXPSp3\r\n  - Forged"])"), entry["nestedLayers"]);
    EXPECT_EQ(json::parse("[null]"), entry["nestedShims"]);
    EXPECT_EQ(json::parse(R"({"value": 129, "names": ["DISABLE_SHIM"]})"), entry["flags"]);
    EXPECT_EQ(json::parse(R"({"value": 268435460, "names": ["APPHELP_NOUI", "APPHELP_CANCEL"]})"),
              match["flags"]);
    EXPECT_TRUE(match["layers"].empty());
    EXPECT_EQ(json::parse(R"(["{7}"])"), match["databases"]);
    EXPECT_TRUE(match["failures"].empty());
}

// A record without any entry is still a match; a refused call is not, and says why.
TEST(ReportFields, EmptyRecordMatchesAndFailuresDoNot) {
    InstallFakeEngine();
    WriteRecord(SdbQueryResult456());
    json match = MatchFields(MatchExecutableLines(L"C:\\apps\\plain.exe"));
    EXPECT_TRUE(match["matched"].get<bool>());
    EXPECT_TRUE(match["failures"].empty());

    ApphelpApi.SdbInitDatabaseEx = nullptr;
    match = MatchFields(MatchExecutableLines(L"C:\\apps\\plain.exe"));
    EXPECT_FALSE(match["matched"].get<bool>());
    EXPECT_EQ(json::parse(R"(["apphelp.dll: SdbInitDatabaseEx not available"])"),
              match["failures"]);
}

} // namespace
