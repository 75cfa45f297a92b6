// quillet-match on databases from the project's writer and files the test writes.
#include "tool_run.h"
#include "test_database.h"

#include <nlohmann/json.hpp>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct MatchTool : ::testing::Test {
    std::string work;
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillet-match-XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        work = pattern;
        sdb::WriterPtr writer = sdb::create_writer();
        sdb::declare_index(*writer, sdb::TAG_EXE, sdb::TAG_NAME, 100, true, sdb::TAG_WILDCARD_NAME);
        sdb::declare_index(*writer, sdb::TAG_EXE, sdb::TAG_WILDCARD_NAME, 100, false);
        sdb::TAGID database = sdb::begin_list(*writer, sdb::TAG_DATABASE);
        sdb::write_string(*writer, sdb::TAG_NAME, u"Tool test");
        WriteExe(*writer, u"ledgerpro.exe", [](sdb::Writer& w) {
            sdb::write_guid(w, sdb::TAG_EXE_ID, TestGuid(7));
            sdb::write_string(w, sdb::TAG_APP_NAME, u"Ledger Pro");
            WriteMatchingFile(w, u"*",
                              [](sdb::Writer& w) { sdb::write_dword(w, sdb::TAG_SIZE, 4); });
        });
        WriteExe(*writer, u"ledgerpro.exe", [](sdb::Writer& w) {
            WriteMatchingFile(w, u"*", [](sdb::Writer& w) {
                sdb::write_qword(w, sdb::TAG_FROM_BIN_FILE_VERSION, 0x0001000000000000ull);
            });
        });
        WriteExe(*writer, u"ledgerpro.exe", [](sdb::Writer& w) {
            WriteMatchingFile(w, u"*",
                              [](sdb::Writer& w) { sdb::write_dword(w, sdb::TAG_SIZE, 5); });
        });
        WriteWildcardExe(*writer, u"ledger*.exe", [](sdb::Writer& w) {
            WriteMatchingFile(w, u"NOTES.TXT",
                              [](sdb::Writer& w) { sdb::write_null(w, sdb::TAG_MATCH_LOGIC_NOT); });
        });
        sdb::end_list(*writer, database);
        ASSERT_TRUE(sdb::close_to_file(*writer, (work + "/test.sdb").c_str()));
        WriteBytes(work + "/ledgerpro.exe", "abcd");
    }
    void TearDown() override { std::filesystem::remove_all(work); }
};

TEST_F(MatchTool, JsonListsVerdictsWithTypedValues) {
    ToolRun run = RunTool(
        "--json --explain --database " + work + "/test.sdb " + work + "/ledgerpro.exe", work);
    ASSERT_EQ(run.status, 0) << run.err;
    nlohmann::json file = nlohmann::json::parse(run.out);
    EXPECT_EQ(file["type"], "file");
    EXPECT_EQ(file["read"], true);
    const nlohmann::json& entries = file["entries"];
    ASSERT_EQ(entries.size(), 4u);
    // Wildcard entries first, as Windows searches.
    EXPECT_EQ(entries[0]["foundBy"], "wildcard-name");
    EXPECT_EQ(entries[0]["verdict"], "matched-if"); // NOTES.TXT is missing: NOT, unconfirmed
    EXPECT_EQ(entries[1]["verdict"], "matched");
    EXPECT_EQ(entries[1]["exeId"], "{00000007-0000-0000-0000-000000000000}");
    EXPECT_EQ(entries[1]["appName"], "Ledger Pro");
    const nlohmann::json& size = entries[1]["conditions"][1]["conditions"][0];
    EXPECT_EQ(size["tag"], "SIZE");
    EXPECT_EQ(size["evidence"], "checked-on-windows");
    EXPECT_EQ(size["wanted"]["value"], 4);
    EXPECT_EQ(entries[0]["conditions"][1]["path"],
              work + "\\NOTES.TXT"); // as the evaluator joins it
    // No version resource: the FROM_ condition cannot be computed.
    EXPECT_EQ(entries[2]["verdict"], "unknown");
    const nlohmann::json& from = entries[2]["conditions"][1]["conditions"][0];
    EXPECT_EQ(from["wanted"]["kind"], "version");
    EXPECT_EQ(from["wanted"]["value"], "1.0.0.0");
    EXPECT_EQ(from["wanted"]["raw"], "0x0001000000000000");
    EXPECT_EQ(from["actual"], nullptr);
    EXPECT_EQ(entries[3]["verdict"], "not-matched");

    run = RunTool("--json --database " + work + "/test.sdb " + work + "/ledgerpro.exe", work);
    EXPECT_EQ(nlohmann::json::parse(run.out)["entries"].size(), 3u); // no not-matched
}

TEST_F(MatchTool, TextUnreadableFilesAndUsage) {
    WriteBytes(work + "/notes.txt", "x");
    ToolRun run = RunTool("--database " + work + "/test.sdb " + work + "/ledgerpro.exe " + work +
                              "/absent.exe",
                          work);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("ledgerpro.exe [" + work + "/test.sdb]: matched\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("ledger*.exe"), std::string::npos); // the NOT file now exists
    EXPECT_NE(run.out.find("absent.exe (could not be read)"), std::string::npos);
    EXPECT_NE(run.err.find("absent.exe"), std::string::npos);

    EXPECT_EQ(RunTool(work + "/ledgerpro.exe", work).status, 2);
    EXPECT_EQ(RunTool("--database " + work + "/test.sdb", work).status, 2);
    run = RunTool("--bogus", work);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
    run = RunTool("--help", work);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("matched-if"), std::string::npos);
    EXPECT_EQ(RunTool("--database " + work + "/absent.sdb " + work + "/ledgerpro.exe", work).status,
              1);
}

// With a Windows volume, a NOT file under %windir% is looked up on it: missing, the NOT
// holds on the expansion and the missing file; present, the entry fails. Without one it
// stays unknown, never passed.
TEST_F(MatchTool, WindowsVolumeExpandsFolderVariables) {
    sdb::WriterPtr writer = sdb::create_writer();
    sdb::TAGID database = sdb::begin_list(*writer, sdb::TAG_DATABASE);
    WriteExe(*writer, u"tool.exe", [](sdb::Writer& w) {
        WriteMatchingFile(w, u"%windir%\\SysWOW64\\legacy.ocx",
                          [](sdb::Writer& w) { sdb::write_null(w, sdb::TAG_MATCH_LOGIC_NOT); });
    });
    sdb::end_list(*writer, database);
    ASSERT_TRUE(sdb::close_to_file(*writer, (work + "/not.sdb").c_str()));
    WriteBytes(work + "/tool.exe", "MZ");
    std::filesystem::create_directories(work + "/volume/windows/syswow64");
    std::string arguments = "--json --database " + work + "/not.sdb " + work + "/tool.exe";

    nlohmann::json file = nlohmann::json::parse(RunTool(arguments, work).out);
    ASSERT_EQ(file["entries"].size(), 1u);
    EXPECT_EQ(file["entries"][0]["verdict"], "unknown");

    file = nlohmann::json::parse(RunTool("--windows " + work + "/volume " + arguments, work).out);
    ASSERT_EQ(file["entries"].size(), 1u);
    EXPECT_EQ(file["entries"][0]["verdict"], "matched-if");
    EXPECT_EQ(file["entries"][0]["assumes"],
              nlohmann::json({"environment-path", "not-missing-file"}));

    WriteBytes(work + "/volume/windows/syswow64/LEGACY.OCX", "x");
    ToolRun run = RunTool("--windows " + work + "/volume --explain " + arguments, work);
    EXPECT_EQ(run.status, 0);
    file = nlohmann::json::parse(run.out);
    EXPECT_EQ(file["entries"][0]["verdict"], "not-matched");
    EXPECT_EQ(RunTool("--windows " + work + "/absent " + arguments, work).status, 2);
}

} // namespace
