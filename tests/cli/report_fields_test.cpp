// Tests of the JSON fields of a match: taken from the typed lines, never from the text.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
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

// Without SdbFindNextTag an EXE entry keeps its name; its nested lists are unknown, not empty,
// and the missing entry is one of the failures.
TEST(ReportFields, ExeEntryWithoutNextTagKeepsItsNameAndHasNoNestedLists) {
    InstallFakeEngine();
    ApphelpApi.SdbFindNextTag = nullptr;
    AddEntry(0x1f4, 0x100, Named(L"setup.exe"));
    SdbQueryResult344 record = {};
    record.exeCount = 1;
    record.exeTagRefs[0] = 0x1f4;
    WriteRecord(record);

    const json match = MatchFields(MatchExecutableLines(L"C:\\apps\\setup.exe"));
    ASSERT_EQ(1u, match["exe"].size());
    EXPECT_EQ("setup.exe", match["exe"][0]["name"]);
    for (const char* field : {"nested", "nestedLayers", "nestedShims"}) {
        EXPECT_TRUE(match["exe"][0][field].is_null()) << field;
    }
    EXPECT_EQ(json::parse(R"(["apphelp.dll: SdbFindNextTag not available"])"), match["failures"]);
}

// A reader whose numbers are doubles, as in JavaScript and jq: every number becomes one.
json ParsedAsDoubles(const std::string& text) {
    return json::parse(text, [](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::value && parsed.is_number()) {
            parsed = parsed.get<double>();
        }
        return true;
    });
}

// The flag words are 64-bit; their hexadecimal text reads back exactly wherever the numbers
// round, and the live state's other facts pass through as they were read.
TEST(ReportFields, FlagWordsReadBackExactlyByADoubleBasedParser) {
    const struct {
        uint64_t flags;
        uint64_t userFlags;
        bool targetIs64Bit;
        bool peb64;
    } cases[] = {{0xFFFFFFFFFFFFFFFFull, 0, false, true},
                 {0x20000000000001ull, 0x8000000000000000ull, true, true},
                 {0x400, 0x1000000002ull, false, false}};
    for (const auto& read : cases) {
        LiveShimInfo info = {read.flags,
                             read.userFlags,
                             std::vector<unsigned char>(),
                             std::vector<unsigned char>(),
                             0,
                             read.targetIs64Bit,
                             0,
                             read.peb64};
        const json live = ParsedAsDoubles(LiveStateFields(true, info).dump());
        const std::string hex = live["appCompatFlagsHex"].get<std::string>();
        const std::string userHex = live["appCompatFlagsUserHex"].get<std::string>();
        ASSERT_EQ("0x", hex.substr(0, 2));
        ASSERT_EQ("0x", userHex.substr(0, 2));
        EXPECT_EQ(read.flags, std::strtoull(hex.c_str() + 2, nullptr, 16)) << hex;
        EXPECT_EQ(read.userFlags, std::strtoull(userHex.c_str() + 2, nullptr, 16)) << userHex;
        EXPECT_EQ(read.targetIs64Bit, live["targetIs64Bit"].get<bool>());
        EXPECT_EQ(read.peb64, live["peb64"].get<bool>());
    }
    const LiveShimInfo none = {
        0, 0, std::vector<unsigned char>(), std::vector<unsigned char>(), 0, false, 0, false};
    EXPECT_EQ(json::parse(R"({"read": false, "failure": "Could not read remote shim info"})"),
              LiveStateFields(false, none));
}

} // namespace
