#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "../../common/wow64.h"
#include "../../inspect/native_read_api.h"
#include "../../sdbtools/base64.h"
#include "../inspect/target_process.h"
#include "cli_run.h"

using nlohmann::json;

namespace {

const std::wstring Samples = L"C:\\quillet-samples\\";

// Every line of the output parsed on its own; a line that is no JSON fails the test.
std::vector<json> JsonLines(const std::string& output) {
    std::vector<json> objects;
    std::string::size_type start = 0;
    while (start < output.size()) {
        const std::string::size_type end = output.find("\r\n", start);
        EXPECT_NE(std::string::npos, end) << "unterminated last line";
        const std::string line = output.substr(start, end - start);
        objects.push_back(json::parse(line));
        start = end == std::string::npos ? output.size() : end + 2;
    }
    return objects;
}

std::wstring Wide(const std::string& utf8) {
    return FromUtf8(utf8);
}

std::wstring Hex(unsigned long long value) {
    wchar_t digits[24];
    swprintf(digits, 24, L"%llx", value);
    return digits;
}

// The report text of one target in a text run: from its header to the next header.
std::wstring ReportOf(const std::wstring& output, const std::wstring& header) {
    const std::wstring::size_type start = output.find(header);
    if (start == std::wstring::npos) {
        return std::wstring();
    }
    const std::wstring::size_type next = output.find(L"\r\n\r\n\r\nProcess: ", start);
    const std::wstring::size_type nextFile = output.find(L"\r\n\r\nFile: ", start);
    // The report keeps the line end of its last line.
    const std::wstring::size_type end = std::min(next, nextFile);
    return output.substr(start, end == std::wstring::npos ? std::wstring::npos : end + 2 - start);
}

// Names in a JSON flags object as the text joins them.
std::wstring FlagText(const json& flags) {
    std::wstring text;
    for (const json& name : flags["names"]) {
        text += (text.empty() ? L"" : L" | ") + Wide(name.get<std::string>());
    }
    return text;
}

// Checks that every fact of a JSON match shows in the report text, and that the text shows
// no entry that the JSON lacks.
void ExpectMatchInText(const json& match, const std::wstring& text) {
    size_t exeLines = 0, layerLines = 0, databaseLines = 0;
    for (size_t at = text.find(L"EXE: "); at != std::wstring::npos;
         at = text.find(L"EXE: ", at + 1)) {
        ++exeLines;
    }
    for (size_t at = text.find(L"LAYER: "); at != std::wstring::npos;
         at = text.find(L"LAYER: ", at + 1)) {
        ++layerLines;
    }
    for (size_t at = text.find(L"SDB: "); at != std::wstring::npos;
         at = text.find(L"SDB: ", at + 1)) {
        ++databaseLines;
    }
    EXPECT_EQ(match["exe"].size(), exeLines) << text;
    EXPECT_EQ(match["layers"].size(), layerLines) << text;
    EXPECT_EQ(match["databases"].size(), databaseLines) << text;
    EXPECT_EQ(!match["matched"].get<bool>(), text.find(L"No match\r\n") != std::wstring::npos);
    for (const json& exe : match["exe"]) {
        std::wstring lines = L"EXE: (0x" + Hex(exe["tagRef"].get<unsigned long long>()) + L") " +
                             Wide(exe["name"].get<std::string>());
        for (const json& nested : exe["nested"]) {
            lines += L"\r\n  - " + Wide(nested.get<std::string>());
        }
        json byKind = exe["nestedLayers"];
        byKind.insert(byKind.end(), exe["nestedShims"].begin(), exe["nestedShims"].end());
        EXPECT_EQ(exe["nested"], byKind);
        if (!exe["flags"].is_null()) {
            lines += L", with flags: " + FlagText(exe["flags"]);
        }
        EXPECT_NE(std::wstring::npos, text.find(lines + L"\r\n")) << lines << L"\n" << text;
    }
    for (const json& layer : match["layers"]) {
        const std::wstring line = L"LAYER: (0x" + Hex(layer["tagRef"].get<unsigned long long>()) +
                                  L") " + Wide(layer["name"].get<std::string>()) + L"\r\n";
        EXPECT_NE(std::wstring::npos, text.find(line)) << line << text;
    }
    for (const json& database : match["databases"]) {
        EXPECT_NE(std::wstring::npos,
                  text.find(L"SDB: " + Wide(database.get<std::string>()) + L"\r\n"));
    }
    if (!match["flags"].is_null()) {
        EXPECT_NE(std::wstring::npos, text.find(L"\r\nFlags: " + FlagText(match["flags"])));
    }
    if (!match["layerFlags"].is_null()) {
        EXPECT_NE(std::wstring::npos, text.find(L"LayerFlags: " + FlagText(match["layerFlags"])));
    }
}

TEST(CliJson, FilesCarryTheSameFactsAsTheText) {
    const std::wstring missing = Samples + L"missing.exe";
    const std::vector<std::wstring> paths = {Samples + L"cadwriter.exe", Samples + L"ledgerpro.exe",
                                             Samples + L"plainapp.exe", missing};
    std::wstring arguments;
    for (const std::wstring& path : paths) {
        arguments += L" \"" + path + L"\"";
    }
    const CliRun text = RunCli(arguments);
    const CliRun run = RunCli(L"--json" + arguments);
    EXPECT_EQ(1u, run.exitCode);
    const std::vector<json> objects = JsonLines(run.rawOutput);
    ASSERT_EQ(paths.size() + 1, objects.size());
    const json& banner = objects[0];
    EXPECT_EQ("banner", banner["type"]);
    EXPECT_EQ(2, banner["schema"]);
    const std::wstring bannerLine = text.output.substr(0, text.output.find(L"\r\n"));
    EXPECT_EQ(bannerLine, Wide(banner["text"].get<std::string>()));
    EXPECT_EQ(0u, bannerLine.find(L"Running on " + std::to_wstring(banner["major"].get<int>()) +
                                  L"." + std::to_wstring(banner["minor"].get<int>()) + L"." +
                                  std::to_wstring(banner["build"].get<int>())));
    size_t entries = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        const json& file = objects[i + 1];
        EXPECT_EQ("file", file["type"]);
        EXPECT_EQ(paths[i], Wide(file["path"].get<std::string>()));
        EXPECT_EQ(paths[i] != missing, file["exists"].get<bool>());
        const std::wstring report = ReportOf(text.output, L"File: " + paths[i] + L"\r\n");
        ASSERT_FALSE(report.empty()) << paths[i];
        ExpectMatchInText(file["match"], report);
        entries += file["match"]["exe"].size();
        const json& layers = file["storedLayers"];
        EXPECT_EQ(!layers["user"].is_null(),
                  report.find(L"HKCU\\...\\Layers:\r\n") != std::wstring::npos);
        EXPECT_EQ(!layers["machine"].is_null(),
                  report.find(L"HKLM\\...\\Layers:\r\n") != std::wstring::npos);
    }
    // The sample catalogue matches at least one of the samples.
    EXPECT_GT(entries, 0u);
}

TEST(CliJson, ProcessCarriesTheLiveStateAsFields) {
    TargetProcess target(L"--match C:\\quillet-samples\\cadwriter.exe");
    ASSERT_TRUE(target.Ready());
    const std::wstring pid = std::to_wstring(target.ProcessId());
    const CliRun text = RunCli(L"--pid " + pid);
    const CliRun run = RunCli(L"--json --pid " + pid);
    EXPECT_EQ(0u, run.exitCode) << run.errors;
    const std::vector<json> objects = JsonLines(run.rawOutput);
    // The banner, the process, and the summary that closes a run with processes.
    ASSERT_EQ(3u, objects.size());
    EXPECT_EQ(json::parse(R"({"type": "summary", "reported": 1, "notOpened": 0, "ended": 0})"),
              objects[2]);
    const json& process = objects[1];
    EXPECT_EQ("process", process["type"]);
    EXPECT_EQ(target.ProcessId(), process["pid"].get<DWORD>());
    EXPECT_TRUE(process["failure"].is_null());
    const std::wstring path = Wide(process["path"].get<std::string>());
    EXPECT_NE(std::wstring::npos, text.output.find(L"\r\nProcess: " + path + L"\r\n")) << path;
    const json& live = process["live"];
    ASSERT_TRUE(live["read"].get<bool>());
    EXPECT_EQ(0x400u, live["appCompatFlags"].get<unsigned long long>());
    EXPECT_EQ(0x1000000002ull, live["appCompatFlagsUser"].get<unsigned long long>());
    EXPECT_EQ("0x400", live["appCompatFlagsHex"]);
    EXPECT_EQ("0x1000000002", live["appCompatFlagsUserHex"]);
    // The unpacked shim data shows the same entries as the text's live block.
    const std::wstring liveText = text.output.substr(text.output.find(L"Live info:"));
    const json& unpacked = live["shimData"]["match"];
    ASSERT_TRUE(unpacked["matched"].get<bool>());
    ExpectMatchInText(unpacked, liveText.substr(0, liveText.find(L"AppCompatInfo:")));
    // The AppCompatInfo block, byte i % 251 at offset i, whole.
    EXPECT_EQ(16384u, live["appCompatInfo"]["size"].get<unsigned>());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(base64_decode(live["appCompatInfo"]["base64"].get<std::string>(), &bytes));
    ASSERT_EQ(16384u, bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        ASSERT_EQ(i % 251, bytes[i]) << i;
    }
}

// targetIs64Bit says what the target is, peb64 which layout was read: the 64-bit tool reads the
// 64-bit layout of either target; the 32-bit tool reads it through the WoW64 reads where they
// exist, and otherwise its own layout of a 32-bit target and nothing of a 64-bit one (Wine).
TEST(CliJson, TargetIs64BitAndPeb64TellTheTargetFromTheLayoutRead) {
    const bool toolIs64Bit = sizeof(void*) == 8;
    LookUpWow64ReadEntries();
    const bool wow64Reads = SelfIsWow64() && NtWow64QueryInformationProcess64Entry != NULL &&
                            NtWow64ReadVirtualMemory64Entry != NULL;
    struct Kind {
        std::wstring program;
        bool is64Bit;
    };
    std::vector<Kind> kinds = {{TargetProgramPath(), toolIs64Bit}};
    if (OTHER_TARGET_RUNS) {
        kinds.push_back({OtherTargetProgramPath(), !toolIs64Bit});
    }
    for (const Kind& kind : kinds) {
        TargetProcess target(L"--match C:\\quillet-samples\\cadwriter.exe", kind.program);
        ASSERT_TRUE(target.Ready());
        const CliRun run = RunCli(L"--json --pid " + std::to_wstring(target.ProcessId()));
        const std::vector<json> objects = JsonLines(run.rawOutput);
        ASSERT_LE(2u, objects.size());
        const json& live = objects[1]["live"];
        if (!toolIs64Bit && kind.is64Bit && !wow64Reads) {
            EXPECT_FALSE(live["read"].get<bool>());
            continue;
        }
        ASSERT_TRUE(live["read"].get<bool>()) << kind.program;
        EXPECT_EQ(kind.is64Bit, live["targetIs64Bit"].get<bool>()) << kind.program;
        EXPECT_EQ(toolIs64Bit || wow64Reads, live["peb64"].get<bool>()) << kind.program;
    }
}

TEST(CliJson, FailuresAreFieldsAndUsageErrorsStayOffStandardOutput) {
    // Process ids are multiples of four far below this one.
    const CliRun run = RunCli(L"--json --pid 2147483630");
    EXPECT_EQ(1u, run.exitCode);
    const std::vector<json> objects = JsonLines(run.rawOutput);
    ASSERT_EQ(3u, objects.size());
    EXPECT_EQ(json::parse(R"({"type": "summary", "reported": 0, "notOpened": 1, "ended": 0})"),
              objects[2]);
    const json& process = objects[1];
    EXPECT_TRUE(process["path"].is_null());
    EXPECT_EQ(0u, process["failure"]["message"].get<std::string>().find("Error opening proc: "));
    const std::string message = process["failure"]["message"].get<std::string>();
    EXPECT_EQ(message.substr(message.rfind(' ') + 1),
              std::to_string(process["failure"]["code"].get<unsigned long>()));
    EXPECT_EQ(process.end(), process.find("live"));
    // Standard error says the same as in text mode.
    EXPECT_EQ(RunCli(L"--pid 2147483630").errors, run.errors);

    const CliRun usage = RunCli(L"--json --pid none");
    EXPECT_EQ(2u, usage.exitCode);
    EXPECT_TRUE(usage.rawOutput.empty());
}

} // namespace
