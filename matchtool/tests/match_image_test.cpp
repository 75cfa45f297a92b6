// quillet-match --image on small Windows images the tests build: hives, databases, programs.
#include "tool_run.h"
#include "test_database.h"
#include "test_hive.h"
#include "test_images.h"

#include "sdb_guid.h"

#include <nlohmann/json.hpp>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const char* const CONTOSO = "{00000021-0000-0000-0000-000000000000}";
const char* const IMPOSTOR = "{00000022-0000-0000-0000-000000000000}";
const char* const TOOL = "C:\\Program Files\\App\\tool.exe";
const char* const TOOL64 = "C:\\Program Files\\App64\\tool64.exe";
const char* const PROGRAM_BIN = "C:\\data\\prog.bin";
const char* const PROGRAM_NE = "C:\\data\\old16.dat";

std::vector<nlohmann::json> Lines(const std::string& out) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(nlohmann::json::parse(line));
    return lines;
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

sdb::Guid Guid(const char* text) {
    sdb::Guid guid{};
    EXPECT_TRUE(sdb::parse_guid(text, &guid));
    return guid;
}

// A database of that NAME and DATABASE_ID whose EXEs the body writes.
void WriteDatabase(const fs::path& path, const std::u16string& name, const char* id,
                   const std::function<void(sdb::Writer&)>& body) {
    sdb::WriterPtr writer = sdb::create_writer();
    sdb::declare_index(*writer, sdb::TAG_EXE, sdb::TAG_NAME, 100, true, sdb::TAG_WILDCARD_NAME);
    sdb::declare_index(*writer, sdb::TAG_EXE, sdb::TAG_WILDCARD_NAME, 100, false);
    sdb::TAGID database = sdb::begin_list(*writer, sdb::TAG_DATABASE);
    sdb::write_string(*writer, sdb::TAG_NAME, name);
    sdb::write_guid(*writer, sdb::TAG_DATABASE_ID, Guid(id));
    body(*writer);
    sdb::end_list(*writer, database);
    fs::create_directories(path.parent_path());
    ASSERT_TRUE(sdb::close_to_file(*writer, path.string().c_str()));
}

// An EXE of that NAME matching any file of the name, told apart by its APP_NAME.
void WriteNamedExe(
    sdb::Writer& writer, const std::u16string& name, const std::u16string& app,
    const std::function<void(sdb::Writer&)>& more = [](sdb::Writer&) {}) {
    WriteExe(writer, name, [&](sdb::Writer& w) {
        sdb::write_string(w, sdb::TAG_APP_NAME, app);
        WriteMatchingFile(w, u"*", [](sdb::Writer&) {});
        more(w);
    });
}

TestValue Text(const std::string& name, const std::string& text) {
    return {name, 1, utf16(text)};
}

// regtool.exe entries told apart by APP_NAME, each with one MATCHING_REG: a key with a value
// in both registry views, a key in the native view alone, a missing key, a missing value,
// and a value's data.
void WriteRegistryExes(sdb::Writer& writer) {
    struct Case {
        const char16_t* app;
        const char16_t* key;
        const char16_t* value; // none when null
        bool data;
    };
    const Case cases[] = {{u"BothViews", u"HKLM\\SOFTWARE\\Contoso\\App", u"Installed", false},
                          {u"NativeViewOnly", u"HKLM\\SOFTWARE\\Fabrikam", nullptr, false},
                          {u"KeyAbsent", u"HKLM\\SOFTWARE\\Absent", nullptr, false},
                          {u"ValueAbsent", u"HKLM\\SOFTWARE\\Contoso\\App", u"Missing", false},
                          {u"Data", u"HKLM\\SOFTWARE\\Contoso\\App", u"Installed", true},
                          {u"OtherRoot", u"HKCU\\Software\\Contoso", nullptr, false}};
    for (const Case& c : cases) {
        WriteExe(writer, u"regtool.exe", [&](sdb::Writer& w) {
            sdb::write_string(w, sdb::TAG_APP_NAME, c.app);
            sdb::TAGID reg = sdb::begin_list(w, sdb::TAG_MATCHING_REG);
            sdb::write_string(w, sdb::TAG_NAME, c.key);
            if (c.value != nullptr)
                sdb::write_string(w, sdb::TAG_REG_VALUE_NAME, c.value);
            if (c.data)
                sdb::write_dword(w, sdb::TAG_REG_VALUE_DATA_DWORD, 1);
            sdb::end_list(w, reg);
        });
    }
}

// A 64-bit image: main databases for both machines, a third-party database with a `*` entry,
// a database that claims Microsoft's name but injects a DLL from outside Windows, Alice's
// stored layer for tool.exe, Bob without one, and three programs besides a text file that
// only looks like one.
struct ImageMatch : ::testing::Test {
    std::string work;
    fs::path root;
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillet-image-match-XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        work = pattern;
        root = fs::path(work) / "image";
        fs::path apppatch = root / "Windows" / "AppPatch";
        const char* const sysmain = "{11111111-1111-1111-1111-111111111111}";
        const std::u16string mainName = u"Microsoft Windows Application Compatibility Fix Database";
        WriteDatabase(apppatch / "sysmain.sdb", mainName, sysmain, [](sdb::Writer& w) {
            WriteNamedExe(w, u"tool.exe", u"Main32", [](sdb::Writer& w) {
                sdb::TAGID apphelp = sdb::begin_list(w, sdb::TAG_APPHELP);
                sdb::write_dword(w, sdb::TAG_PROBLEMSEVERITY, 2);
                sdb::write_dword(w, sdb::TAG_HTMLHELPID, 5);
                sdb::end_list(w, apphelp);
            });
            WriteNamedExe(w, u"tool64.exe", u"Main32");
            sdb::TAGID message = sdb::begin_list(w, sdb::TAG_APPHELP);
            sdb::write_dword(w, sdb::TAG_HTMLHELPID, 5);
            sdb::write_string(w, sdb::TAG_APPHELP_DETAILS, u"Blocked: it damages the system");
            sdb::end_list(w, message);
        });
        WriteDatabase(apppatch / "AppPatch64" / "sysmain.sdb", mainName, sysmain,
                      [](sdb::Writer& w) {
                          WriteNamedExe(w, u"tool.exe", u"Main64");
                          WriteNamedExe(w, u"tool64.exe", u"Main64");
                      });
        WriteDatabase(apppatch / "Custom" / (std::string(CONTOSO) + ".sdb"), u"Contoso fixes",
                      CONTOSO, [](sdb::Writer& w) {
                          WriteWildcardExe(w, u"*", [](sdb::Writer& w) {
                              sdb::write_string(w, sdb::TAG_APP_NAME, u"Everything");
                              WriteMatchingFile(w, u"*", [](sdb::Writer&) {});
                              sdb::TAGID flag = sdb::begin_list(w, sdb::TAG_FLAG_REF);
                              sdb::write_string(w, sdb::TAG_NAME, u"ContosoFlag");
                              sdb::end_list(w, flag);
                          });
                          WriteRegistryExes(w);
                      });
        WriteDatabase(apppatch / "Custom" / (std::string(IMPOSTOR) + ".sdb"),
                      u"Microsoft Windows Compatibility Update", IMPOSTOR, [](sdb::Writer& w) {
                          WriteNamedExe(w, u"tool.exe", u"Impostor", [](sdb::Writer& w) {
                              sdb::TAGID shim = sdb::begin_list(w, sdb::TAG_SHIM_REF);
                              sdb::write_string(w, sdb::TAG_NAME, u"InjectDll");
                              sdb::write_string(w, sdb::TAG_COMMAND_LINE,
                                                u"C:\\ProgramData\\evil.dll");
                              sdb::end_list(w, shim);
                          });
                      });
        TestHive software;
        software.key("Microsoft\\Windows NT\\CurrentVersion",
                     {Text("CurrentBuildNumber", "19045"),
                      {"CurrentMajorVersionNumber", 4, dword_bytes(10)}});
        for (const char* guid : {CONTOSO, IMPOSTOR})
            software.key(std::string(APPCOMPAT) + "\\InstalledSDB\\" + guid,
                         {Text("DatabasePath",
                               "C:\\Windows\\AppPatch\\Custom\\" + std::string(guid) + ".sdb")});
        for (const char* key : {"Contoso\\App", "Wow6432Node\\Contoso\\App"})
            software.key(key, {{"Installed", 4, dword_bytes(1)}});
        software.key("Fabrikam");
        fs::create_directories(root / "Windows" / "System32" / "config");
        fs::create_directories(root / "Windows" / "SysWOW64");
        software.write((root / "Windows" / "System32" / "config" / "SOFTWARE").string());
        TestHive alice;
        alice.key(std::string(USER_APPCOMPAT) + "\\Layers", {Text(TOOL, "~ RUNASADMIN")});
        fs::create_directories(root / "Users" / "alice");
        alice.write((root / "Users" / "alice" / "NTUSER.DAT").string());
        TestHive bob;
        bob.key("Software\\Microsoft");
        fs::create_directories(root / "Users" / "bob");
        bob.write((root / "Users" / "bob" / "NTUSER.DAT").string());

        WriteFile(root / "Program Files" / "App" / "tool.exe", test_images::BuildPe({}));
        test_images::PeOptions wide;
        wide.pe32Plus = true;
        WriteFile(root / "Program Files" / "App64" / "tool64.exe", test_images::BuildPe(wide));
        WriteFile(root / "data" / "prog.bin", test_images::BuildPe({}));
        WriteFile(root / "data" / "old16.dat", test_images::BuildNe("OLDAPP", "Old app"));
        WriteFile(root / "Program Files" / "App" / "readme.exe", {'t', 'e', 'x', 't'});
    }
    void TearDown() override { fs::remove_all(work); }

    ToolRun Run(const std::string& arguments) {
        return RunTool("--image " + root.string() + " " + arguments, work);
    }
};

// The file records of a run by path and user ("" for the machine's), each entry's APP_NAME.
std::map<std::string, std::vector<std::string>> AppNames(const std::vector<nlohmann::json>& lines) {
    std::map<std::string, std::vector<std::string>> names;
    for (const nlohmann::json& line : lines) {
        if (line["type"] != "file")
            continue;
        std::string key = line["path"].get<std::string>() + "|" +
                          (line["user"].is_null() ? "" : line["user"].get<std::string>());
        names[key];
        for (const nlohmann::json& entry : line["entries"])
            names[key].push_back(entry["appName"]);
    }
    return names;
}

// Each program meets the main database of its machine, every registered database (the `*`
// entry reaching all three, the one without a program's name among them), and its own
// stored layers: Alice's line carries her layer, Bob gets none.
TEST_F(ImageMatch, EachProgramMeetsItsMachinesMainDatabaseTheCustomOnesAndItsUsersLayers) {
    ToolRun run = Run("--json");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    std::vector<nlohmann::json> lines = Lines(run.out);
    std::string tool(TOOL), tool64(TOOL64), bin(PROGRAM_BIN), ne(PROGRAM_NE);
    std::map<std::string, std::vector<std::string>> expected = {
        {bin + "|", {"Everything"}},
        {ne + "|", {"Everything"}},
        {tool + "|", {"Main32", "Everything", "Impostor"}},
        {tool + "|alice", {"Main32", "Everything", "Impostor"}},
        {tool64 + "|", {"Main64", "Everything"}}};
    EXPECT_EQ(AppNames(lines), expected);

    for (const nlohmann::json& line : lines) {
        if (line["type"] != "file")
            continue;
        EXPECT_EQ(line["machine"], line["path"] == tool64 ? 0x8664
                                   : line["path"] == ne   ? 0
                                                          : 0x14C)
            << line;
        const nlohmann::json& main = line["entries"][0];
        if (line["path"] == tool) {
            EXPECT_EQ(main["database"], "C:\\Windows\\AppPatch\\sysmain.sdb");
            EXPECT_EQ(main["provenance"], "claims-microsoft");
            EXPECT_EQ(main["fixes"]["apphelp"]["blockType"], "hard-block");
            EXPECT_EQ(main["fixes"]["apphelp"]["details"], "Blocked: it damages the system");
            EXPECT_EQ(line["entries"][1]["fixes"]["flags"], nlohmann::json({"ContosoFlag"}));
            EXPECT_EQ(line["entries"][2]["impersonatesMicrosoft"], true);
            EXPECT_EQ(line["entries"][2]["fixes"]["shims"], nlohmann::json({"InjectDll"}));
        }
        if (line["path"] == tool64)
            EXPECT_EQ(main["database"], "C:\\Windows\\AppPatch\\AppPatch64\\sysmain.sdb");
        if (line["user"] == "alice") {
            ASSERT_EQ(line["layers"].size(), 1u);
            EXPECT_EQ(line["layers"][0]["scope"], "user");
            EXPECT_EQ(line["layers"][0]["value"], "~ RUNASADMIN");
            EXPECT_EQ(line["layers"][0]["markers"], nlohmann::json({"~"}));
        } else {
            EXPECT_TRUE(line["layers"].empty()) << line;
        }
    }
    const nlohmann::json& summary = lines.back();
    ASSERT_EQ(summary["type"], "summary");
    EXPECT_EQ(summary["programsRead"], 4);
    EXPECT_EQ(summary["unreadable"], 0);
    EXPECT_EQ(summary["warnings"], 0);
    EXPECT_GE(summary["filesSeen"], 6); // the programs, the text file, hives and databases
    std::map<std::string, int> matched;
    for (const nlohmann::json& database : summary["matchedByDatabase"])
        matched[database["database"]] = database["programs"];
    EXPECT_EQ(matched["C:\\Windows\\AppPatch\\sysmain.sdb"], 1);
    EXPECT_EQ(matched["C:\\Windows\\AppPatch\\AppPatch64\\sysmain.sdb"], 1);
    EXPECT_EQ(matched["C:\\Windows\\AppPatch\\Custom\\" + std::string(CONTOSO) + ".sdb"], 4);

    // One thread gives the same report.
    ToolRun single = Run("--json --jobs 1");
    EXPECT_EQ(AppNames(Lines(single.out)), expected);
}

// --third-party leaves out the main databases, which are Microsoft's by place, ID and content,
// but keeps the database that only claims Microsoft's name, and the stored layers.
TEST_F(ImageMatch, ThirdPartyKeepsTheImpostorAndStoredLayersButNotMicrosoftsOwn) {
    ToolRun run = Run("--json --third-party");
    ASSERT_EQ(run.status, 0) << run.err;
    std::string tool(TOOL), tool64(TOOL64), bin(PROGRAM_BIN), ne(PROGRAM_NE);
    std::map<std::string, std::vector<std::string>> expected = {
        {bin + "|", {"Everything"}},
        {ne + "|", {"Everything"}},
        {tool + "|", {"Everything", "Impostor"}},
        {tool + "|alice", {"Everything", "Impostor"}},
        {tool64 + "|", {"Everything"}}};
    std::vector<nlohmann::json> lines = Lines(run.out);
    EXPECT_EQ(AppNames(lines), expected);
    EXPECT_EQ(lines.back()["matchedByDatabase"].size(), 2u);

    // Text: the same programs, the database's provenance beside each entry.
    run = Run("--third-party");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("File: C:\\Program Files\\App\\tool.exe (machine 0x014C) for user "
                           "alice\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("claims-microsoft, impersonates-microsoft]: matched\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("Stored layers (user alice): \"~ RUNASADMIN\""), std::string::npos);
    EXPECT_EQ(run.out.find("Main32"), std::string::npos);
}

// Paths inside the image narrow the walk; a link out of it is named and never followed, a
// link inside it is left to its target, and an unreadable program is a warning: exit 1.
TEST_F(ImageMatch, PathsNarrowTheWalkAndLinksOutAndUnreadableFilesAreWarnings) {
    ToolRun run = Run("--json \"Program Files/App64\"");
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<nlohmann::json> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["path"], TOOL64);
    EXPECT_EQ(lines[1]["filesSeen"], 1);

    fs::path outside = fs::path(work) / "outside.exe";
    WriteFile(outside, test_images::BuildPe({}));
    fs::create_symlink(outside, root / "Program Files" / "App" / "escape.exe");
    fs::create_symlink(root / "data" / "prog.bin", root / "Program Files" / "App" / "inside.exe");
    fs::path locked = root / "Program Files" / "App" / "locked.exe";
    WriteFile(locked, test_images::BuildPe({}));
    fs::permissions(locked, fs::perms::none);
    bool canLock = geteuid() != 0; // the superuser reads it anyway
    // A program past the limit of 1 GiB, sparse: its head is looked at, the rest is not read.
    fs::path huge = root / "Program Files" / "App" / "huge.exe";
    WriteFile(huge, test_images::BuildPe({}));
    fs::resize_file(huge, (std::uintmax_t(1) << 30) + 1);

    run = Run("--json \"C:\\Program Files\\App\"");
    EXPECT_EQ(run.status, 1);
    lines = Lines(run.out);
    std::vector<std::string> warnings;
    for (const nlohmann::json& line : lines) {
        if (line["type"] == "warning")
            warnings.push_back(line["message"]);
        if (line["type"] == "file")
            EXPECT_NE(line["path"], "C:\\Program Files\\App\\escape.exe");
    }
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ(warnings[0], "C:\\Program Files\\App\\escape.exe: a link out of the image; not "
                           "followed");
    ASSERT_EQ(warnings.size(), canLock ? 3u : 2u);
    EXPECT_EQ(warnings[1], "C:\\Program Files\\App\\huge.exe: 1073741825 bytes, over the limit "
                           "of 1073741824; not read");
    EXPECT_EQ(lines.back()["tooLarge"], 1);
    if (canLock) {
        EXPECT_EQ(warnings[2].rfind("C:\\Program Files\\App\\locked.exe: cannot be read", 0), 0u);
        EXPECT_EQ(lines.back()["unreadable"], 1);
    }
    EXPECT_NE(run.err.find("escape.exe: a link out of the image"), std::string::npos);
    run = Run("\"C:\\Program Files\\App\"");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Warning: C:\\Program Files\\App\\escape.exe: a link out of the image"),
              std::string::npos)
        << run.out;

    // An image path that is not there is a warning too; usage errors are 2.
    EXPECT_EQ(Run("absent").status, 1);
    EXPECT_EQ(Run("--database x.sdb").status, 2);
    EXPECT_EQ(RunTool("--third-party --database x.sdb y.exe", work).status, 2);
    EXPECT_EQ(Run("--jobs 0").status, 2);
}

// A damaged registered database, a missing one and a SOFTWARE hive that is no hive are
// warnings; the programs are still read and matched against what remains.
TEST_F(ImageMatch, DamagedDatabasesAndHivesAreWarnings) {
    fs::path custom = root / "Windows" / "AppPatch" / "Custom" / (std::string(CONTOSO) + ".sdb");
    fs::resize_file(custom, fs::file_size(custom) - 8);
    fs::remove(root / "Windows" / "AppPatch" / "Custom" / (std::string(IMPOSTOR) + ".sdb"));
    ToolRun run = Run("--json");
    EXPECT_EQ(run.status, 1);
    std::vector<nlohmann::json> lines = Lines(run.out);
    std::string all;
    for (const nlohmann::json& line : lines) {
        if (line["type"] == "warning")
            all += line["message"].get<std::string>() + "\n";
    }
    EXPECT_NE(all.find(std::string(IMPOSTOR) + ".sdb: not searched"), std::string::npos) << all;
    EXPECT_NE(all.find(std::string(CONTOSO) + ".sdb: "), std::string::npos) << all;
    EXPECT_EQ(lines.back()["programsRead"], 4);

    // A SOFTWARE hive that is no hive: warned, the programs still matched against the files.
    std::ofstream(root / "Windows" / "System32" / "config" / "SOFTWARE", std::ios::trunc)
        << "not a hive";
    run = Run("--json");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("SOFTWARE"), std::string::npos) << run.err;
    EXPECT_EQ(Lines(run.out).back()["programsRead"], 4);
}

// MATCHING_REG is answered from the SOFTWARE hive: in both views of a 64-bit image alike, or
// unknown where they differ; data, and roots other than HKLM\SOFTWARE, stay unknown.
TEST_F(ImageMatch, RegistryConditionsAreAnsweredFromTheImagesHive) {
    WriteFile(root / "Tools" / "regtool.exe", test_images::BuildPe({}));
    ToolRun run = Run("--json --explain Tools");
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<nlohmann::json> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    std::map<std::string, std::string> verdicts;
    for (const nlohmann::json& entry : lines[0]["entries"])
        verdicts[entry["appName"]] = entry["verdict"];
    std::map<std::string, std::string> expected = {
        {"Everything", "matched"},    {"BothViews", "matched-if"},    {"NativeViewOnly", "unknown"},
        {"KeyAbsent", "not-matched"}, {"ValueAbsent", "not-matched"}, {"Data", "unknown"},
        {"OtherRoot", "unknown"}};
    EXPECT_EQ(verdicts, expected);
}

} // namespace
