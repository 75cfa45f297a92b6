#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

#include "../inspect/target_process.h"
#include "cli_run.h"

using nlohmann::json;

namespace {

const std::wstring Scratch = L"C:\\quillet-cli-tests\\";

// One copy of the target program per hostile kind, so that each report names its kind.
struct Hostile {
    const wchar_t* kind;
    const wchar_t* expected; // what its live block must show
};

const Hostile Kinds[] = {
    {L"oversized", L"\r\nLive info:\r\nAppCompatFlags: 0x400\r\nAppCompatFlags: 0x1000000002\r\n"
                   L"Unable to unpack AppCompatData\r\n\r\nAppCompatInfo:\r\n0000 00 01 02 "},
    {L"counts", L"\r\nLive info:\r\nAppCompatFlags: 0x400\r\nAppCompatFlags: 0x1000000002\r\n"},
    {L"unmapped", L"\r\nCould not read remote shim info\r\n"},
    // A block filling a single page is read in its 4096 bytes and unpacked.
    {L"edge", L"AppCompatInfo:\r\n0000 00 01 02 "},
};

std::wstring ProgramFor(const wchar_t* kind) {
    return Scratch + L"hostile-" + kind + L".exe";
}

std::wstring ReportOf(const std::wstring& output, const std::wstring& path) {
    const std::wstring::size_type start = output.find(L"Process: " + path + L"\r\n");
    if (start == std::wstring::npos) {
        return std::wstring();
    }
    return output.substr(start, output.find(L"\r\nProcess: ", start + 1) - start);
}

TEST(CliHostile, SweepOverHostileTargetsReportsEachWithinBounds) {
    CreateDirectoryW(Scratch.c_str(), NULL);
    std::vector<std::unique_ptr<TargetProcess>> targets;
    for (const Hostile& hostile : Kinds) {
        ASSERT_TRUE(
            CopyFileW(TargetProgramPath().c_str(), ProgramFor(hostile.kind).c_str(), FALSE));
        targets.emplace_back(new TargetProcess(
            L"--match C:\\quillet-samples\\cadwriter.exe --hostile " + std::wstring(hostile.kind),
            ProgramFor(hostile.kind)));
        ASSERT_TRUE(targets.back()->Ready()) << hostile.kind;
    }
    const CliRun text = RunCli(L"--all");
    EXPECT_EQ(0u, text.exitCode) << text.errors;
    for (const Hostile& hostile : Kinds) {
        const std::wstring report = ReportOf(text.output, ProgramFor(hostile.kind));
        EXPECT_NE(std::wstring::npos, report.find(hostile.expected)) << hostile.kind << report;
    }
    // The record's counts claim billions of entries; the report stops at its capacity.
    const std::wstring counts = ReportOf(text.output, ProgramFor(L"counts"));
    EXPECT_LT(counts.size(), 200000u);
    // The edge blocks are read in their page at least (Windows stops there; Wine reads the
    // reserved rest of the allocation as zeros) and the packed one unpacks.
    const std::wstring edge = ReportOf(text.output, ProgramFor(L"edge"));
    EXPECT_NE(std::wstring::npos, edge.find(L"\r\n0ff0 40 41 42 43 44 ")) << edge;
    EXPECT_NE(std::wstring::npos, edge.find(L"\r\nLive info:\r\nAppCompatFlags: 0x400\r\n"
                                            L"AppCompatFlags: 0x1000000002\r\nEXE: "));

    const CliRun run = RunCli(L"--all --json");
    EXPECT_EQ(text.exitCode, run.exitCode);
    std::string::size_type start = 0;
    size_t found = 0;
    while (start < run.rawOutput.size()) {
        const std::string::size_type end = run.rawOutput.find("\r\n", start);
        ASSERT_NE(std::string::npos, end);
        const json object = json::parse(run.rawOutput.substr(start, end - start));
        start = end + 2;
        const std::wstring path = object.contains("path") && object["path"].is_string()
                                      ? FromUtf8(object["path"].get<std::string>())
                                      : std::wstring();
        if (path == ProgramFor(L"oversized")) {
            EXPECT_EQ("Unable to unpack AppCompatData",
                      object["live"]["shimData"]["match"]["failures"][0]);
            ++found;
        } else if (path == ProgramFor(L"unmapped")) {
            EXPECT_FALSE(object["live"]["read"].get<bool>());
            ++found;
        } else if (path == ProgramFor(L"edge")) {
            EXPECT_GE(object["live"]["appCompatInfo"]["size"].get<unsigned>(), 4096u);
            EXPECT_TRUE(object["live"]["shimData"]["match"]["matched"].get<bool>());
            ++found;
        } else if (path == ProgramFor(L"counts")) {
            EXPECT_LE(object["live"]["shimData"]["match"]["exe"].size(), 16u);
            ++found;
        }
    }
    EXPECT_EQ(4u, found);
    targets.clear();
    for (const Hostile& hostile : Kinds) {
        DeleteFileW(ProgramFor(hostile.kind).c_str());
    }
}

} // namespace
