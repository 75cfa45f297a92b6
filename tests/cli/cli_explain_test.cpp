// Tests of quillet-cli --explain under Wine: programs and a database written by the test,
// registered for the programs' names, explained line by line in text and in JSON.
#include <gtest/gtest.h>

#include <windows.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "../../common/entry_point.h"
#include "../../sdb/sdb_tags.h"
#include "../../shimreport/apphelp_api.h"
#include "../inspect/target_process.h"
#include "cli_run.h"

using nlohmann::json;

namespace {

// Each build has its own names, so that both builds' tests may run at once.
const bool Build64 = sizeof(void*) == 8;
const std::wstring Folder =
    Build64 ? L"C:\\quillet-cli-explain-64\\" : L"C:\\quillet-cli-explain-32\\";
const std::wstring ProgramName = Build64 ? L"explained64.exe" : L"explained32.exe";
const std::wstring DatabaseGuid =
    Build64 ? L"{f21e0000-0000-4000-8000-000000000064}" : L"{f21e0000-0000-4000-8000-000000000032}";
const GUID DatabaseId = {
    0xf21e0000,
    0x0000,
    0x4000,
    {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, Build64 ? BYTE(0x64) : BYTE(0x32)}};
const std::wstring AppCompat = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\";

// The engine's database writer, as the stand-in exports it.
struct Writer {
    PDB(WINAPI* Create)(LPCWSTR path, int type);
    TAGID(WINAPI* Begin)(PDB database, TAG tag);
    BOOL(WINAPI* End)(PDB database, TAGID list);
    BOOL(WINAPI* String)(PDB database, TAG tag, LPCWSTR value);
    BOOL(WINAPI* Dword)(PDB database, TAG tag, DWORD value);
    BOOL(WINAPI* Qword)(PDB database, TAG tag, ULONGLONG value);
    BOOL(WINAPI* Null)(PDB database, TAG tag);
    BOOL(WINAPI* Binary)(PDB database, TAG tag, const BYTE* data, DWORD size);
    void(WINAPI* Close)(PDB database);
};

Writer EngineWriter() {
    EnsureApphelpLoaded();
    const HMODULE engine = ApphelpApi.module;
    Writer writer;
    writer.Create = FindEntryPoint<decltype(writer.Create)>(engine, "SdbCreateDatabase");
    writer.Begin = FindEntryPoint<decltype(writer.Begin)>(engine, "SdbBeginWriteListTag");
    writer.End = FindEntryPoint<decltype(writer.End)>(engine, "SdbEndWriteListTag");
    writer.String = FindEntryPoint<decltype(writer.String)>(engine, "SdbWriteStringTag");
    writer.Dword = FindEntryPoint<decltype(writer.Dword)>(engine, "SdbWriteDWORDTag");
    writer.Qword = FindEntryPoint<decltype(writer.Qword)>(engine, "SdbWriteQWORDTag");
    writer.Null = FindEntryPoint<decltype(writer.Null)>(engine, "SdbWriteNULLTag");
    writer.Binary = FindEntryPoint<decltype(writer.Binary)>(engine, "SdbWriteBinaryTag");
    writer.Close = FindEntryPoint<decltype(writer.Close)>(engine, "SdbCloseDatabaseWrite");
    return writer;
}

std::vector<BYTE> ReadBytes(const std::wstring& path) {
    std::vector<BYTE> bytes;
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    const DWORD size = GetFileSize(file, NULL);
    bytes.resize(size);
    DWORD read = 0;
    ReadFile(file, bytes.data(), size, &read, NULL);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<BYTE>& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(file);
}

// The engine's CHECKSUM: rotated sums of little-endian DWORDs over the file's window.
DWORD Checksum(const std::vector<BYTE>& bytes) {
    if (bytes.size() < 4) {
        return 0;
    }
    size_t start = 0;
    size_t length = bytes.size();
    if (bytes.size() >= 0x1200) {
        start = 0x200;
        length = 0x1000;
    } else if (bytes.size() >= 0x1000) {
        start = bytes.size() - 0x1000;
        length = 0x1000;
    }
    DWORD sum = 0;
    for (size_t at = start; at + 4 <= start + length; at += 4) {
        sum += DWORD(bytes[at]) | DWORD(bytes[at + 1]) << 8 | DWORD(bytes[at + 2]) << 16 |
               DWORD(bytes[at + 3]) << 24;
        sum = (sum >> 1) | (sum << 31);
    }
    return sum;
}

std::wstring Hex(ULONGLONG value) {
    wchar_t text[24];
    std::swprintf(text, 24, L"0x%llX", value);
    return text;
}

void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& value) {
    HKEY opened = NULL;
    RegCreateKeyExW(root, key.c_str(), 0, NULL, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, NULL, &opened,
                    NULL);
    RegSetValueExW(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
}

void DeleteKey(HKEY root, const std::wstring& key) {
    RegDeleteKeyExW(root, key.c_str(), KEY_WOW64_64KEY, 0);
}

void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    HKEY opened = NULL;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &opened) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(opened, name.c_str());
        RegCloseKey(opened);
    }
}

// The report's blocks without the explanation blocks.
std::wstring WithoutExplanations(const std::wstring& output) {
    std::wstring rest = output;
    for (std::wstring::size_type at = rest.find(L"Explanation:\r\n"); at != std::wstring::npos;
         at = rest.find(L"Explanation:\r\n")) {
        rest.erase(at, rest.find(L"\r\n\r\n", at) + 4 - at);
    }
    return rest;
}

// The explanation block that follows the report on path.
std::wstring BlockAfter(const std::wstring& output, const std::wstring& header) {
    const std::wstring::size_type report = output.find(header);
    const std::wstring::size_type start = output.find(L"Explanation:\r\n", report);
    if (report == std::wstring::npos || start == std::wstring::npos) {
        return std::wstring();
    }
    return output.substr(start, output.find(L"\r\n\r\n", start) + 4 - start);
}

// The hex text of the first "(0x...) name" line of the report that names the entry.
std::wstring TagRefText(const std::wstring& output, const std::wstring& prefix,
                        const std::wstring& name) {
    const std::wstring::size_type end = output.find(L") " + name + L"\r\n");
    const std::wstring::size_type start = output.rfind(prefix + L"(0x", end);
    if (end == std::wstring::npos || start == std::wstring::npos) {
        return L"?";
    }
    return output.substr(start + prefix.size() + 1, end - start - prefix.size() - 1);
}

// A folder with a program, a helper file beside it and a database registered for the program:
// entries whose conditions hold on the program and on the helper, with MATCH_LOGIC_NOT on a
// helper whose conditions fail and on a file that is not there, a wildcard entry, a layer of
// two shims, and layers stored per user.
class CliExplain : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(Folder.c_str(), NULL);
        program = Folder + ProgramName;
        helper = Folder + L"helper.dat";
        database = Folder + L"explain.sdb";
        WriteBytes(helper, std::vector<BYTE>{'a', 'a', 'a', 'a'});
        DeleteFileW((Folder + L"absent.dat").c_str());
        CreateDirectoryW((Folder + L"data").c_str(), NULL);
    }

    void TearDown() override {
        DeleteKey(HKEY_LOCAL_MACHINE, AppCompat + L"InstalledSDB\\" + DatabaseGuid);
        DeleteKey(HKEY_LOCAL_MACHINE, AppCompat + L"Custom\\" + ProgramName);
        DeleteValue(HKEY_CURRENT_USER, AppCompat + L"Layers", program);
    }

    // The program: a copy of source padded by the test, so that its size and checksum are
    // the test's; versioned when the source has a version resource.
    void WriteProgram(const std::wstring& source, size_t padding) {
        std::vector<BYTE> bytes = ReadBytes(source);
        bytes.insert(bytes.end(), padding, BYTE(0x5A));
        WriteBytes(program, bytes);
        size = bytes.size();
        checksum = Checksum(bytes);
    }

    // The database, with versioned conditions on the program when asked for, and a DATABASE_ID
    // of the given size.
    // With futureOs, the entry also wants a Windows from build 22000 and before build 10240,
    // which no system is: the stand-in engine, which looks at MATCHING_FILE alone, matches it
    // all the same.
    void WriteDatabase(bool versioned, DWORD idSize = sizeof(GUID), bool futureOs = false) {
        const Writer w = EngineWriter();
        ASSERT_NE(nullptr, w.Create);
        const PDB db = w.Create(database.c_str(), 0);
        ASSERT_NE(nullptr, db);
        const TAGID list = w.Begin(db, sdb::TAG_DATABASE);
        w.String(db, sdb::TAG_NAME, L"Quillet explain test database");
        w.Binary(db, sdb::TAG_DATABASE_ID, reinterpret_cast<const BYTE*>(&DatabaseId), idSize);
        const TAGID library = w.Begin(db, sdb::TAG_LIBRARY);
        const wchar_t* const shims[][2] = {{L"ExplainShimOne", L"ExplainOne.dll"},
                                           {L"ExplainShimTwo", L"ExplainTwo.dll"},
                                           {L"ExplainEntryShim", L"ExplainEntry.dll"}};
        for (const auto& shim : shims) {
            const TAGID entry = w.Begin(db, sdb::TAG_SHIM);
            w.String(db, sdb::TAG_NAME, shim[0]);
            w.String(db, sdb::TAG_DLLFILE, shim[1]);
            w.End(db, entry);
        }
        w.End(db, library);
        const TAGID layer = w.Begin(db, sdb::TAG_LAYER);
        w.String(db, sdb::TAG_NAME, L"ExplainLayer");
        TAGID ref = w.Begin(db, sdb::TAG_SHIM_REF);
        w.String(db, sdb::TAG_NAME, L"ExplainShimOne");
        w.End(db, ref);
        ref = w.Begin(db, sdb::TAG_SHIM_REF);
        w.String(db, sdb::TAG_NAME, L"ExplainShimTwo");
        w.String(db, sdb::TAG_COMMAND_LINE, L"-two");
        w.End(db, ref);
        w.End(db, layer);

        const TAGID exe = w.Begin(db, sdb::TAG_EXE);
        w.String(db, sdb::TAG_NAME, ProgramName.c_str());
        w.String(db, sdb::TAG_APP_NAME, L"Explained App");
        w.String(db, sdb::TAG_VENDOR, L"Quillet Tests");
        w.Dword(db, sdb::TAG_FLAGS, 0x2);
        if (futureOs) {
            w.String(db, sdb::TAG_DEST_OS_GTE, L"CO");
            w.String(db, sdb::TAG_DEST_OS_LT, L"TH1");
        }
        TAGID file = w.Begin(db, sdb::TAG_MATCHING_FILE);
        w.String(db, sdb::TAG_NAME, L"*");
        w.Dword(db, sdb::TAG_SIZE, static_cast<DWORD>(size));
        w.Dword(db, sdb::TAG_CHECKSUM, checksum);
        if (versioned) {
            w.String(db, sdb::TAG_COMPANY_NAME, L"northwind GRAPHICS");
            w.Qword(db, sdb::TAG_UPTO_BIN_FILE_VERSION, 0x0002000500000001ULL);
            w.Qword(db, sdb::TAG_FROM_BIN_FILE_VERSION, 0x0002000500000000ULL);
        }
        w.End(db, file);
        file = w.Begin(db, sdb::TAG_MATCHING_FILE);
        w.String(db, sdb::TAG_NAME, L"helper.dat");
        w.Dword(db, sdb::TAG_SIZE, 4);
        w.Dword(db, sdb::TAG_CHECKSUM, 0xB0B0B0B0);
        w.End(db, file);
        file = w.Begin(db, sdb::TAG_MATCHING_FILE);
        w.String(db, sdb::TAG_NAME, L"helper.dat");
        w.Null(db, sdb::TAG_MATCH_LOGIC_NOT);
        w.Dword(db, sdb::TAG_SIZE, 5);
        w.String(db, sdb::TAG_PRODUCT_NAME, L"Other");
        w.End(db, file);
        file = w.Begin(db, sdb::TAG_MATCHING_FILE);
        w.String(db, sdb::TAG_NAME, L"absent.dat");
        w.Null(db, sdb::TAG_MATCH_LOGIC_NOT);
        w.Dword(db, sdb::TAG_SIZE, 4);
        w.End(db, file);
        file = w.Begin(db, sdb::TAG_MATCHING_FILE); // a folder, which the engine cannot read
        w.String(db, sdb::TAG_NAME, L"data");
        w.Null(db, sdb::TAG_MATCH_LOGIC_NOT);
        w.Dword(db, sdb::TAG_SIZE, 0);
        w.End(db, file);
        const TAGID nested = w.Begin(db, sdb::TAG_LAYER);
        w.String(db, sdb::TAG_NAME, L"ExplainLayer");
        w.End(db, nested);
        ref = w.Begin(db, sdb::TAG_SHIM_REF);
        w.String(db, sdb::TAG_NAME, L"ExplainEntryShim");
        w.String(db, sdb::TAG_COMMAND_LINE, L"--entry");
        w.End(db, ref);
        w.End(db, exe);

        const TAGID wildcard = w.Begin(db, sdb::TAG_EXE);
        w.String(db, sdb::TAG_NAME, L"*");
        file = w.Begin(db, sdb::TAG_MATCHING_FILE);
        w.String(db, sdb::TAG_NAME, L"*");
        w.Dword(db, sdb::TAG_SIZE, static_cast<DWORD>(size));
        w.End(db, file);
        w.End(db, wildcard);
        w.End(db, list);
        w.Close(db);

        SetString(HKEY_LOCAL_MACHINE, AppCompat + L"InstalledSDB\\" + DatabaseGuid, L"DatabasePath",
                  database);
        SetString(HKEY_LOCAL_MACHINE, AppCompat + L"Custom\\" + ProgramName, DatabaseGuid + L".sdb",
                  L"");
        SetString(HKEY_CURRENT_USER, AppCompat + L"Layers", program, L"~ ExplainLayer NoSuchLayer");
    }

    // Every line of the block the program's report is followed by.
    std::wstring ExpectedBlock(const std::wstring& output, bool versioned) const {
        const std::wstring size16 = Hex(size);
        const std::wstring checked = L"checked-on-windows]\r\n";
        const std::wstring notText = L"holds: MATCHING_FILE MATCH_LOGIC_NOT wanted \"";
        std::wstring exact =
            L"EXE: (" + TagRefText(output, L"EXE: ", ProgramName) + L") " + ProgramName +
            L"\r\n  database: " + DatabaseGuid + L" " + database + L"\r\n  NAME: " + ProgramName +
            L"\r\n  APP_NAME: Explained App\r\n  VENDOR: Quillet Tests\r\n"
            L"  engine: matched\r\n  evaluator: matched-if, assumes: " +
            (versioned ? L"from-at-least, " : L"") +
            L"not-missing-file\r\n"
            L"  holds: NAME wanted \"" +
            ProgramName + L"\", actual \"" + ProgramName + L"\" [name-without-case, " + checked +
            L"  holds: MATCHING_FILE wanted \"*\", actual \"" + program + L"\", path " + program +
            L" [program-itself, seen-in-real-databases" +
            (versioned ? L"; assumes from-at-least" : L"") + L"]\r\n    holds: SIZE wanted " +
            size16 + L", actual " + size16 + L" [exact, " + checked +
            L"    holds: CHECKSUM wanted " + Hex(checksum) + L", actual " + Hex(checksum) +
            L" [exact, " + checked;
        if (versioned) {
            exact += L"    holds: COMPANY_NAME wanted \"northwind GRAPHICS\", actual \"Northwind "
                     L"Graphics\" [string-without-case, " +
                     checked +
                     L"    holds: UPTO_BIN_FILE_VERSION wanted 2.5.0.1 (0x2000500000001), actual "
                     L"2.5.0.1 (0x2000500000001) [upto-at-most, " +
                     checked +
                     L"    holds: FROM_BIN_FILE_VERSION wanted 2.5.0.0 (0x2000500000000), actual "
                     L"2.5.0.1 (0x2000500000001) [from-at-least, unconfirmed; assumes "
                     L"from-at-least]\r\n";
        }
        exact += L"  holds: MATCHING_FILE wanted \"helper.dat\", actual \"" + helper +
                 L"\", path " + helper + L" [beside-program, " + checked +
                 L"    holds: SIZE wanted 0x4, actual 0x4 [exact, " + checked +
                 L"    holds: CHECKSUM wanted 0xB0B0B0B0, actual 0xB0B0B0B0 [exact, " + checked +
                 L"  " + notText + L"helper.dat\", actual \"" + helper + L"\", path " + helper +
                 L" [logic-not, seen-in-real-databases]\r\n"
                 L"    fails: SIZE wanted 0x5, actual 0x4 [exact, " +
                 checked +
                 L"    unknown: PRODUCT_NAME wanted \"Other\", actual none [no-such-attribute, "
                 L"unconfirmed]\r\n"
                 L"  " +
                 notText + L"absent.dat\", actual none, path " + Folder +
                 L"absent.dat [logic-not, seen-in-real-databases; assumes not-missing-file]\r\n"
                 L"  " +
                 notText + L"data\", actual none, path " + Folder +
                 L"data [logic-not, seen-in-real-databases; assumes not-missing-file]\r\n"
                 L"  LAYER: ExplainLayer\r\n"
                 L"  SHIM: ExplainEntryShim, DLL: ExplainEntry.dll, command line: --entry\r\n"
                 L"  flags: DISABLE_APPHELP\r\n";
        // Wildcard entries come first, as Windows looks them up first.
        const std::wstring wildcard =
            L"EXE: (" + TagRefText(output, L"EXE: ", L"*") + L") *\r\n  database: " + DatabaseGuid +
            L" " + database + L"\r\n  NAME: * (wildcard, matched " + ProgramName +
            L")\r\n  APP_NAME: none\r\n  VENDOR: none\r\n"
            L"  engine: matched\r\n  evaluator: matched\r\n"
            L"  holds: WILDCARD_NAME wanted \"*\", actual \"" +
            ProgramName + L"\" [any-name, seen-in-real-databases]\r\n" +
            L"  holds: MATCHING_FILE wanted \"*\", actual \"" + program + L"\", path " + program +
            L" [program-itself, seen-in-real-databases]\r\n    holds: SIZE wanted " + size16 +
            L", actual " + size16 + L" [exact, " + checked;
        return L"Explanation:\r\n" + wildcard + exact + L"LAYER: (" +
               TagRefText(output, L"LAYER: ", L"ExplainLayer") +
               L") ExplainLayer, matched, stored per user\r\n"
               L"  SHIM: ExplainShimOne, DLL: ExplainOne.dll, command line: none\r\n"
               L"  SHIM: ExplainShimTwo, DLL: ExplainTwo.dll, command line: -two\r\n"
               L"LAYER: NoSuchLayer, stored per user: not among the matched layers\r\n"
               L"\r\n";
    }

    std::wstring program;
    std::wstring helper;
    std::wstring database;
    size_t size = 0;
    DWORD checksum = 0;
};

TEST_F(CliExplain, TextBlockFollowsEachReportAndLeavesTheReportAsItWas) {
    WriteProgram(L"C:\\quillet-samples\\cadwriter.exe", 0x123);
    WriteDatabase(true);
    const std::wstring plain = L"C:\\quillet-samples\\plainapp.exe";
    const std::wstring arguments = L" \"" + program + L"\" \"" + plain + L"\"";
    const CliRun explained = RunCli(L"--explain" + arguments);
    const CliRun report = RunCli(arguments);
    EXPECT_EQ(0u, explained.exitCode) << explained.errors;
    EXPECT_EQ(report.output, WithoutExplanations(explained.output));
    EXPECT_EQ(ExpectedBlock(explained.output, true),
              BlockAfter(explained.output, L"File: " + program + L"\r\n"))
        << explained.output;
    EXPECT_EQ(L"Explanation:\r\nNo matched entry\r\n\r\n",
              BlockAfter(explained.output, L"File: " + plain + L"\r\n"));
}

TEST_F(CliExplain, JsonFieldHoldsTheSameFacts) {
    WriteProgram(L"C:\\quillet-samples\\cadwriter.exe", 0x40);
    WriteDatabase(true);
    const CliRun text = RunCli(L"--explain \"" + program + L"\"");
    const CliRun run = RunCli(L"--json --explain \"" + program + L"\"");
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    const std::string line = run.rawOutput.substr(run.rawOutput.find("\r\n") + 2);
    const json object = json::parse(line.substr(0, line.find("\r\n")));
    const json& explain = object.at("explain");
    EXPECT_EQ(json::array(), explain.at("problems"));
    ASSERT_EQ(2u, explain.at("exe").size());
    // The wildcard entry comes first, in Windows' lookup order.
    const json& exe = explain.at("exe")[1];
    const std::wstring tagRef = TagRefText(text.output, L"EXE: ", ProgramName);
    EXPECT_EQ(std::wcstoul(tagRef.c_str(), NULL, 16), exe.at("tagRef").get<unsigned long>());
    EXPECT_EQ(FromUtf8(exe.at("databaseId").get<std::string>()), DatabaseGuid);
    EXPECT_EQ(FromUtf8(exe.at("databasePath").get<std::string>()), database);
    EXPECT_EQ("Explained App", exe.at("appName"));
    EXPECT_EQ("Quillet Tests", exe.at("vendor"));
    EXPECT_TRUE(exe.at("wildcardMatched").is_null());
    // The engine matched it; the evaluator matches it if FROM_ bounds and MATCH_LOGIC_NOT on a
    // missing file work as it takes them, rules it labels unconfirmed.
    EXPECT_EQ("matched", exe.at("engine"));
    EXPECT_EQ("matched-if", exe.at("verdict"));
    EXPECT_EQ(json::array({"from-at-least", "not-missing-file"}), exe.at("assumes"));
    EXPECT_FALSE(exe.at("disagrees").get<bool>());
    EXPECT_TRUE(exe.at("nameFits").get<bool>());
    EXPECT_TRUE(exe.at("evaluatorProblem").is_null());
    EXPECT_EQ(json::array(), exe.at("decidedBy"));
    const json& conditions = exe.at("conditions");
    ASSERT_EQ(6u, conditions.size());
    const char* const tags[] = {"NAME",          "MATCHING_FILE", "MATCHING_FILE",
                                "MATCHING_FILE", "MATCHING_FILE", "MATCHING_FILE"};
    const size_t children[] = {0, 5, 2, 2, 0, 0};
    for (size_t i = 0; i < conditions.size(); ++i) {
        EXPECT_EQ(tags[i], conditions[i].at("tagName")) << i;
        EXPECT_EQ("holds", conditions[i].at("verdict")) << i;
        EXPECT_EQ(i >= 3, conditions[i].at("negated").get<bool>()) << i;
        EXPECT_EQ(children[i], conditions[i].at("children").size()) << i;
    }
    const json& file = conditions[1];
    EXPECT_EQ(FromUtf8(file.at("path").get<std::string>()), program);
    EXPECT_EQ("program-itself", file.at("rule"));
    EXPECT_EQ("seen-in-real-databases", file.at("evidence"));
    EXPECT_EQ(json({{"tag", sdb::TAG_SIZE},
                    {"tagName", "SIZE"},
                    {"verdict", "holds"},
                    {"rule", "exact"},
                    {"evidence", "checked-on-windows"},
                    {"assumes", json::array()},
                    {"negated", false},
                    {"wanted", size},
                    {"actual", size},
                    {"path", nullptr},
                    {"wow64View", false},
                    {"children", json::array()}}),
              file.at("children")[0]);
    EXPECT_EQ("northwind GRAPHICS", file.at("children")[2].at("wanted"));
    EXPECT_EQ("Northwind Graphics", file.at("children")[2].at("actual"));
    const json& from = file.at("children")[4];
    EXPECT_EQ("FROM_BIN_FILE_VERSION", from.at("tagName"));
    EXPECT_EQ("unconfirmed", from.at("evidence"));
    EXPECT_EQ(json({{"text", "2.5.0.0"}, {"raw", "0x2000500000000"}}), from.at("wanted"));
    EXPECT_EQ(json({{"text", "2.5.0.1"}, {"raw", "0x2000500000001"}}), from.at("actual"));
    const json& negated = conditions[3];
    EXPECT_EQ("logic-not", negated.at("rule"));
    EXPECT_EQ("fails", negated.at("children")[0].at("verdict"));
    EXPECT_EQ("unknown", negated.at("children")[1].at("verdict"));
    EXPECT_EQ("no-such-attribute", negated.at("children")[1].at("rule"));
    EXPECT_TRUE(negated.at("children")[1].at("actual").is_null());
    EXPECT_TRUE(conditions[4].at("actual").is_null());
    EXPECT_EQ(json::array({"not-missing-file"}), conditions[4].at("assumes"));
    EXPECT_EQ(json::array({"ExplainLayer"}), exe.at("layers"));
    EXPECT_EQ(json::array({{{"kind", "shim"},
                            {"name", "ExplainEntryShim"},
                            {"defined", true},
                            {"dll", "ExplainEntry.dll"},
                            {"commandLine", "--entry"}}}),
              exe.at("fixes"));
    EXPECT_EQ(json({{"value", 2}, {"names", json::array({"DISABLE_APPHELP"})}}), exe.at("flags"));
    EXPECT_EQ(FromUtf8(explain.at("exe")[0].at("wildcardMatched").get<std::string>()), ProgramName);
    const json& layers = explain.at("layers");
    ASSERT_EQ(2u, layers.size());
    EXPECT_EQ("ExplainLayer", layers[0].at("name"));
    EXPECT_TRUE(layers[0].at("matched").get<bool>());
    EXPECT_TRUE(layers[0].at("storedUser").get<bool>());
    EXPECT_EQ(2u, layers[0].at("fixes").size());
    EXPECT_EQ("-two", layers[0].at("fixes")[1].at("commandLine"));
    EXPECT_EQ(json({{"tagRef", nullptr},
                    {"resolved", false},
                    {"name", "NoSuchLayer"},
                    {"matched", false},
                    {"storedUser", true},
                    {"storedMachine", false},
                    {"fixes", json::array()}}),
              layers[1]);
}

TEST_F(CliExplain, ProcessReportIsFollowedByTheBlockOfItsImage) {
    WriteProgram(TargetProgramPath(), 0x200);
    WriteDatabase(false);
    TargetProcess target(L"--nothing", program);
    ASSERT_TRUE(target.Ready());
    const CliRun run = RunCli(L"--explain --pid " + std::to_wstring(target.ProcessId()));
    EXPECT_EQ(0u, run.exitCode) << run.errors;
    EXPECT_EQ(ExpectedBlock(run.output, false), BlockAfter(run.output, L"Process: " + program))
        << run.output;
}

// The stand-in engine decides through the evaluator, so an entry that wants a Windows no
// system is stays unmatched and nothing disagrees; the disagreement lines themselves are
// pinned with a fake engine in the explanation's tests.
TEST_F(CliExplain, EntryTheEvaluatorRejectsIsNotMatchedByTheStandIn) {
    WriteProgram(L"C:\\quillet-samples\\cadwriter.exe", 0x30);
    WriteDatabase(false, sizeof(GUID), true);
    const CliRun text = RunCli(L"--explain \"" + program + L"\"");
    ASSERT_EQ(0u, text.exitCode) << text.errors;
    const std::wstring block = BlockAfter(text.output, L"File: " + program + L"\r\n");
    EXPECT_EQ(std::wstring::npos, block.find(L") " + ProgramName + L"\r\n")) << block;
    EXPECT_EQ(std::wstring::npos, block.find(L"disagrees:")) << block;
    EXPECT_NE(std::wstring::npos, block.find(L"EXE: (")) << block;
}

// A DATABASE_ID that is no GUID is said so and not read; without a GUID the registered path
// cannot be looked up either.
TEST_F(CliExplain, DatabaseIdOfAnotherSizeIsSaidAndNotRead) {
    WriteProgram(L"C:\\quillet-samples\\plainapp.exe", 0x10);
    WriteDatabase(false, 8);
    const CliRun run = RunCli(L"--explain \"" + program + L"\"");
    const std::wstring block = BlockAfter(run.output, L"File: " + program + L"\r\n");
    EXPECT_NE(std::wstring::npos,
              block.find(L"\r\nEXE: (" + TagRefText(run.output, L"EXE: ", ProgramName) + L") " +
                         ProgramName +
                         L"\r\n  database: unknown (DATABASE_ID of 8 bytes, not a GUID) unknown "
                         L"(no database GUID to look up)\r\n  NAME: "))
        << block;
}

} // namespace
