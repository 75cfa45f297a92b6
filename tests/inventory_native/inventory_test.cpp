// The inventory core over in-memory views, field by field in the text and the JSON.
//
// Provenance and anomalies, findings, bad registry values, stored layers and the
// assistant's records.
#include "inventory.h"
#include "inventory_output.h"
#include "memory_views.h"
#include "test_database.h"
#include "test_hive.h"
#include "windows_paths.h"

#include "sdb_writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

using inventory::Hive;
using nlohmann::json;

namespace {

const char* const CUSTOM = "C:\\Windows\\AppPatch\\Custom\\";
const uint64_t FILETIME_2020 = 132223104000000000ull; // 2020-01-01T00:00:00Z

std::string key(const std::string& below) {
    return std::string(APPCOMPAT) + "\\" + below;
}

// The report's lines, each of which must end in the line end asked for.
std::vector<std::string> split_lines(const std::string& report) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = report.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(report.substr(start, end - start));
    }
    EXPECT_EQ(start, report.size()) << "the last line has no line end";
    return lines;
}

std::vector<std::string> text_lines(const inventory::Inventory& result) {
    return split_lines(inventory::inventory_text(result, "\n"));
}

std::vector<json> json_objects(const inventory::Inventory& result) {
    std::vector<json> objects;
    for (const std::string& line : split_lines(inventory::inventory_json(result, "\n"))) {
        EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) {
            return c >= 0x20 && c < 0x7F;
        })) << line;
        objects.push_back(json::parse(line));
    }
    return objects;
}

const json* object_of(const std::vector<json>& objects, const char* type, const char* field,
                      const std::string& value) {
    for (const json& object : objects) {
        if (object["type"] == type && object[field].is_string() && object[field] == value) {
            return &object;
        }
    }
    return nullptr;
}

bool has_line(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

struct InstalledDatabase {
    std::string guid;
    std::string path;
};

void register_installed(MemoryRegistry* registry, Hive hive, const InstalledDatabase& database) {
    registry->set(hive, 0, key("InstalledSDB\\" + database.guid),
                  {string_value("DatabasePath", database.path),
                   string_value("DatabaseDescription", "desc " + database.guid),
                   qword_value("DatabaseInstallTimeStamp", FILETIME_2020),
                   dword_value("DatabaseType", 0x10000)});
}

// A main database, an installed one, and one of each anomaly.
class InventoryAnomalies : public ::testing::Test {
protected:
    void SetUp() override {
        files.add("C:\\Windows\\AppPatch\\sysmain.sdb",
                  database_bytes({"Microsoft Windows Application Compatibility Fix Database",
                                  SYSMAIN_ID,
                                  FILETIME_2020,
                                  "3.0.0.9",
                                  {"RunAsAdmin"},
                                  {{"RUNASADMIN", {"RunAsAdmin"}}},
                                  {"setup.exe"}}));
        const std::string installed = "{aaaaaaaa-0000-0000-0000-000000000001}";
        register_installed(&registry, Hive::Machine,
                           {installed, std::string(CUSTOM) + installed + ".sdb"});
        registry.set(Hive::Machine32, 0, key("Custom\\contoso.exe"),
                     {qword_value(installed + ".sdb", FILETIME_2020)});
        // Enough names, each twice in another case, that the count outgrows a small table.
        std::vector<std::string> exes = {"a.exe", "b.exe", "A.EXE", "c.exe",
                                         "d.exe", "e.exe", "f.exe"};
        for (int i = 0; i < 200; ++i) {
            exes.push_back("tool" + std::to_string(i) + ".exe");
            exes.push_back("TOOL" + std::to_string(i) + ".EXE");
        }
        files.add(
            std::string(CUSTOM) + installed + ".sdb",
            database_bytes(
                {"Contoso fixes", installed, FILETIME_2020, "3.0.0.9", {"InjectDll"}, {}, exes}));
        register_installed(
            &registry, Hive::Machine,
            {"{bbbbbbbb-0000-0000-0000-000000000002}",
             "%WINDIR%\\AppPatch\\Custom\\{bbbbbbbb-0000-0000-0000-000000000002}.sdb"});
        files.add(
            std::string(CUSTOM) + "Custom64\\{cccccccc-0000-0000-0000-000000000003}.sdb",
            database_bytes(
                {"Stray", "{cccccccc-0000-0000-0000-000000000003}", 0, "", {}, {}, {"stray.exe"}}));
        register_installed(
            &registry, Hive::Machine32,
            {"{dddddddd-0000-0000-0000-000000000004}", std::string(CUSTOM) + "mismatch.sdb"});
        files.add(
            std::string(CUSTOM) + "mismatch.sdb",
            database_bytes({"Other", "{eeeeeeee-0000-0000-0000-000000000005}", 0, "", {}, {}, {}}));
        register_installed(
            &registry, Hive::Machine,
            {"{ffffffff-0000-0000-0000-000000000006}", std::string(CUSTOM) + "claims.sdb"});
        files.add(std::string(CUSTOM) + "claims.sdb",
                  database_bytes({"Microsoft Windows Update Fixes",
                                  "{ffffffff-0000-0000-0000-000000000006}",
                                  0,
                                  "",
                                  {},
                                  {},
                                  {}}));
        register_installed(
            &registry, Hive::Machine,
            {"{12345678-0000-0000-0000-000000000007}", std::string(CUSTOM) + "notadb.sdb"});
        register_installed(
            &registry, Hive::Machine,
            {"{99999999-0000-0000-0000-000000000008}", std::string(CUSTOM) + "injector.sdb"});
        files.add(std::string(CUSTOM) + "injector.sdb",
                  database_bytes({"Injector",
                                  "{99999999-0000-0000-0000-000000000008}",
                                  0,
                                  "",
                                  {"InjectDll"},
                                  {{"EVIL", {"InjectDll"}}},
                                  {}}));
        files.add(std::string(CUSTOM) + "notadb.sdb",
                  {'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xFF});
    }

    MemoryRegistry registry;
    MemoryFiles files;
};

TEST_F(InventoryAnomalies, EachDatabaseGetsItsWordAnomaliesAndFieldsInTextAndJson) {
    inventory::Inventory result = inventory::build_inventory(registry, files);
    std::vector<std::string> text = text_lines(result);
    std::vector<json> objects = json_objects(result);

    struct Expected {
        std::string guid;
        std::string provenance;
        std::vector<std::string> anomalies;
        bool exists;
        bool readable;
    };
    const Expected expected[] = {
        {SYSMAIN_ID, "claims-microsoft", {}, true, true},
        {"{aaaaaaaa-0000-0000-0000-000000000001}", "installed", {}, true, true},
        {"{bbbbbbbb-0000-0000-0000-000000000002}", "missing-file", {"missing-file"}, false, false},
        {"{ffffffff-0000-0000-0000-000000000006}",
         "claims-microsoft",
         {"claims-microsoft"},
         true,
         true},
        {"{12345678-0000-0000-0000-000000000007}",
         "not-a-database",
         {"not-a-database"},
         true,
         false},
        {"{99999999-0000-0000-0000-000000000008}", "installed", {}, true, true},
        {"{dddddddd-0000-0000-0000-000000000004}", "guid-mismatch", {"guid-mismatch"}, true, true},
        {"{cccccccc-0000-0000-0000-000000000003}", "unregistered", {"unregistered"}, true, true},
    };
    ASSERT_EQ(result.databases.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const Expected& want = expected[i];
        SCOPED_TRACE(want.guid);
        EXPECT_EQ(result.databases[i].guid, want.guid);
        EXPECT_TRUE(has_line(text, "Database " + want.guid + ": " + want.provenance));
        const json* object = object_of(objects, "database", "guid", want.guid);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ((*object)["provenance"], want.provenance);
        EXPECT_EQ((*object)["anomalies"], json(want.anomalies));
        EXPECT_EQ((*object)["exists"], want.exists);
        EXPECT_EQ((*object)["readable"], want.readable);
        EXPECT_FALSE((*object)["reason"].get<std::string>().empty());
    }

    const json& main = *object_of(objects, "database", "guid", SYSMAIN_ID);
    EXPECT_EQ(main["main"], true);
    EXPECT_EQ(main["time"], "2020-01-01T00:00:00Z");
    EXPECT_EQ(main["compilerVersion"], "3.0.0.9");
    EXPECT_EQ(main["counts"],
              json({{"exe", 1}, {"layer", 1}, {"shim", 1}, {"patch", 0}, {"msi", 0}}));
    EXPECT_EQ(main["reason"], "a main database in its place, and its DATABASE_ID is that of "
                              "sysmain.sdb; signature not checked");

    const json& installed =
        *object_of(objects, "database", "guid", "{aaaaaaaa-0000-0000-0000-000000000001}");
    EXPECT_EQ(installed["name"], "Contoso fixes");
    EXPECT_EQ(installed["databaseId"], "{aaaaaaaa-0000-0000-0000-000000000001}");
    EXPECT_EQ(installed["targets"], json({"a.exe", "b.exe", "c.exe", "d.exe", "e.exe"}));
    EXPECT_EQ(installed["targetCount"], 206);
    ASSERT_EQ(installed["registeredAt"].size(), 2u);
    EXPECT_EQ(installed["registeredAt"][0]["kind"], "InstalledSDB");
    EXPECT_EQ(installed["registeredAt"][1]["kind"], "Custom");
    EXPECT_EQ(installed["registeredAt"][1]["view"], "32-bit");
    EXPECT_EQ(installed["registeredAt"][1]["key"],
              "HKLM\\SOFTWARE\\WOW6432Node\\" + key("Custom\\contoso.exe"));
    EXPECT_TRUE(has_line(text, "  Targets: a.exe, b.exe, c.exe, d.exe, e.exe (206 in all)"));
    EXPECT_TRUE(has_line(text, "  Registered: InstalledSDB (native view), Custom (32-bit view) "
                               "for contoso.exe"));

    const json& missing =
        *object_of(objects, "database", "guid", "{bbbbbbbb-0000-0000-0000-000000000002}");
    EXPECT_EQ(missing["path"],
              "C:\\Windows\\AppPatch\\Custom\\{bbbbbbbb-0000-0000-0000-000000000002}.sdb");
    EXPECT_EQ(missing["fileStatus"], "missing");
    EXPECT_EQ(missing["name"], nullptr);

    const json& mismatch =
        *object_of(objects, "database", "guid", "{dddddddd-0000-0000-0000-000000000004}");
    EXPECT_EQ(mismatch["databaseId"], "{eeeeeeee-0000-0000-0000-000000000005}");
    EXPECT_NE(mismatch["reason"].get<std::string>().find("{eeeeeeee-"), std::string::npos);

    const json& stray =
        *object_of(objects, "database", "guid", "{cccccccc-0000-0000-0000-000000000003}");
    EXPECT_EQ(stray["registeredAt"], json::array());
    EXPECT_TRUE(has_line(text, "  Registered: nowhere"));

    // An installed database that injects a DLL: its finding, in the text and on a JSON line
    // of its own right after the database's, which counts it.
    const std::string injector_guid = "{99999999-0000-0000-0000-000000000008}";
    const json& injector = *object_of(objects, "database", "guid", injector_guid);
    EXPECT_EQ(injector["findingCounts"], json({{"info", 0}, {"medium", 0}, {"high", 1}}));
    EXPECT_FALSE(injector.contains("findings"));
    size_t injector_line = static_cast<size_t>(&injector - objects.data());
    ASSERT_LT(injector_line + 1, objects.size());
    const json* finding = &objects[injector_line + 1];
    ASSERT_EQ((*finding)["type"], "finding");
    EXPECT_EQ((*finding)["guid"], injector_guid);
    EXPECT_EQ((*finding)["path"], injector["path"]);
    EXPECT_EQ((*finding)["rule"], "inject-dll");
    EXPECT_EQ((*finding)["severity"], "high");
    EXPECT_EQ((*finding)["entry"]["kind"], "LAYER");
    EXPECT_EQ((*finding)["entry"]["name"], "EVIL");
    EXPECT_TRUE(has_line(text, "  Finding: high inject-dll in LAYER EVIL: " +
                                   (*finding)["summary"].get<std::string>()));
    EXPECT_TRUE(result.databases[1].findings.empty());

    const json& notadb =
        *object_of(objects, "database", "guid", "{12345678-0000-0000-0000-000000000007}");
    EXPECT_EQ(notadb["readProblem"], "no \"sdbf\" magic in the header");
    EXPECT_TRUE(inventory::inventory_alarms(result));

    const json* registration =
        object_of(objects, "registration", "guid", "{aaaaaaaa-0000-0000-0000-000000000001}");
    ASSERT_NE(registration, nullptr);
    EXPECT_EQ((*registration)["installTime"], "2020-01-01T00:00:00Z");
    EXPECT_EQ((*registration)["databaseType"], 0x10000);
    EXPECT_EQ((*registration)["description"], "desc {aaaaaaaa-0000-0000-0000-000000000001}");
    EXPECT_EQ((*registration)["program"], nullptr);
}

// A view whose files the OS would call signed by Microsoft.
class SignedFiles : public MemoryFiles {
public:
    sdb::SignatureVerdict verify_signature(const std::string&) const override {
        sdb::SignatureVerdict verdict;
        verdict.state = sdb::SignatureState::Verified;
        verdict.signer = "Microsoft Windows";
        verdict.detail = "through a catalog";
        return verdict;
    }
};

// A main database whose one EXE injects `command` through a shim of Microsoft's DLL.
std::vector<uint8_t> injecting_main(const char16_t* command) {
    sdb::WriterPtr w = sdb::create_writer();
    sdb::TAGID database = sdb::begin_list(*w, sdb::TAG_DATABASE);
    sdb::write_string(*w, sdb::TAG_NAME,
                      u"Microsoft Windows Application Compatibility Fix Database");
    sdb::Guid id{};
    sdb::parse_guid(SYSMAIN_ID, &id);
    sdb::write_guid(*w, sdb::TAG_DATABASE_ID, id);
    sdb::TAGID library = sdb::begin_list(*w, sdb::TAG_LIBRARY);
    sdb::TAGID shim = sdb::begin_list(*w, sdb::TAG_SHIM);
    sdb::write_string(*w, sdb::TAG_NAME, u"InjectDll");
    sdb::write_string(*w, sdb::TAG_DLLFILE, u"AcGenral.dll");
    sdb::end_list(*w, shim);
    sdb::end_list(*w, library);
    sdb::TAGID exe = sdb::begin_list(*w, sdb::TAG_EXE);
    sdb::write_string(*w, sdb::TAG_NAME, u"a.exe");
    sdb::TAGID ref = sdb::begin_list(*w, sdb::TAG_SHIM_REF);
    sdb::write_string(*w, sdb::TAG_NAME, u"InjectDll");
    sdb::write_string(*w, sdb::TAG_COMMAND_LINE, command);
    sdb::end_list(*w, ref);
    sdb::end_list(*w, exe);
    sdb::end_list(*w, database);
    std::vector<uint8_t> image;
    EXPECT_TRUE(sdb::close_to_buffer(*w, &image));
    return image;
}

TEST_F(InventoryAnomalies, AMainDatabaseIsTrustedForItsContentOrItsSignatureNotItsPlace) {
    MemoryRegistry clean;
    register_installed(&clean, Hive::Machine,
                       {"{aaaaaaaa-0000-0000-0000-000000000001}",
                        std::string(CUSTOM) + "{aaaaaaaa-0000-0000-0000-000000000001}.sdb"});
    std::vector<uint8_t> installed;
    files.read_file(std::string(CUSTOM) + "{aaaaaaaa-0000-0000-0000-000000000001}.sdb", &installed);
    struct Case {
        const char* what;
        const char16_t* command;
        bool signed_by_microsoft;
        inventory::Provenance provenance;
        bool alarm;
    };
    for (const Case& c : {
             Case{"Microsoft's form", u"secur32.dll", false, inventory::Provenance::ClaimedMain,
                  false},
             Case{"a path outside Windows", u"C:\\Tools\\AtomicTest.dll", false,
                  inventory::Provenance::ClaimedMain, true},
             Case{"a path outside Windows, signed", u"C:\\Tools\\AtomicTest.dll", true,
                  inventory::Provenance::VerifiedMicrosoft, false},
         }) {
        SignedFiles signed_files;
        MemoryFiles plain;
        MemoryFiles& some = c.signed_by_microsoft ? signed_files : plain;
        some.add("C:\\Windows\\AppPatch\\sysmain.sdb", injecting_main(c.command));
        some.add(std::string(CUSTOM) + "{AAAAAAAA-0000-0000-0000-000000000001}.SDB", installed);
        inventory::Inventory result = inventory::build_inventory(clean, some);
        ASSERT_EQ(result.databases.size(), 2u) << c.what;
        const inventory::DatabaseRecord& main = result.databases[0];
        EXPECT_EQ(main.provenance, c.provenance) << c.what;
        EXPECT_TRUE(main.anomalies.empty()) << c.what;
        EXPECT_EQ(inventory::inventory_alarms(result), c.alarm) << c.what;
        bool impersonates = false;
        for (const sdb::AuditFinding& f : main.findings) {
            impersonates = impersonates || f.rule == "impersonates-microsoft";
        }
        EXPECT_EQ(impersonates, c.alarm) << c.what;
        std::vector<json> objects = json_objects(result);
        const json& record = *object_of(objects, "database", "guid", SYSMAIN_ID);
        EXPECT_EQ(record["provenance"],
                  c.signed_by_microsoft ? "verified-microsoft" : "claims-microsoft");
        EXPECT_NE(record["reason"].get<std::string>().find(
                      c.signed_by_microsoft ? "signature verified, signed by Microsoft Windows"
                                            : "signature not checked"),
                  std::string::npos)
            << record["reason"];
        // The database's findings follow it on lines of their own.
        const json* inject = nullptr;
        for (const json& object : objects) {
            if (object["type"] == "finding" && object["guid"] == SYSMAIN_ID) {
                inject = &object;
            }
        }
        ASSERT_NE(inject, nullptr) << c.what;
        EXPECT_EQ((*inject)["rule"], "inject-dll");
        EXPECT_EQ((*inject)["basis"], c.signed_by_microsoft ? "verified-signature"
                                      : c.alarm             ? "rule"
                                                            : "microsoft-content");
        EXPECT_EQ(result.databases[1].provenance, inventory::Provenance::Installed);
    }
}

TEST(InventoryRegistryValues, BadValuesGiveProblemLinesAndTheInventoryGoesOn) {
    MemoryRegistry registry;
    MemoryFiles files;
    const std::string good = "{aaaaaaaa-0000-0000-0000-000000000001}";
    registry.set(Hive::Machine, 0, key("InstalledSDB\\" + good),
                 {dword_value("DatabasePath", 5),
                  raw_value("DatabaseDescription", inventory::VALUE_STRING, utf16("open", false)),
                  raw_value("DatabaseInstallTimeStamp", inventory::VALUE_QWORD, {1, 2, 3}),
                  string_value("DatabaseType", "0")});
    registry.set(Hive::Machine, 0, key("InstalledSDB\\not-a-guid"),
                 {raw_value("DatabasePath", inventory::VALUE_STRING, {'C', 0, ':'})});
    registry.set(Hive::Machine, 0, key("InstalledSDB\\{bbbbbbbb-0000-0000-0000-000000000002}"),
                 {string_value("DatabasePath", std::string(40000, 'x'))});
    // Values whose data a view could not take (too large for it): their size, no data.
    inventory::RegistryValue hugePath = raw_value("DatabasePath", inventory::VALUE_STRING, {});
    inventory::RegistryValue hugeType = raw_value("DatabaseType", inventory::VALUE_DWORD, {});
    hugePath.omitted_size = 2000000;
    hugeType.omitted_size = 4096;
    registry.set(Hive::Machine, 0, key("InstalledSDB\\{cccccccc-0000-0000-0000-000000000003}"),
                 {hugePath, hugeType});
    registry.set(Hive::Machine, 0, key("Custom\\app.exe"),
                 {dword_value(good + ".sdb", 1), qword_value("readme.txt", 1)});
    registry.deny(Hive::Machine32, 0, key("InstalledSDB"));

    inventory::Inventory result = inventory::build_inventory(registry, files);
    ASSERT_EQ(result.registrations.size(), 6u);
    struct Expected {
        std::string guid;
        bool valid;
        std::vector<std::string> problems;
    };
    const Expected expected[] = {
        {good,
         true,
         {"DatabasePath: a REG_DWORD where a string belongs",
          "DatabaseDescription: a string without its terminating NUL",
          "DatabaseInstallTimeStamp: a REG_QWORD of 3 bytes where a REG_QWORD belongs",
          "DatabaseType: a REG_SZ of 4 bytes where a REG_DWORD belongs"}},
        {"not-a-guid",
         false,
         {"\"not-a-guid\" is not a GUID", "DatabasePath: a string of odd size (3 bytes)"}},
        {"{bbbbbbbb-0000-0000-0000-000000000002}",
         true,
         {"DatabasePath: longer than 32767 characters"}},
        {"{cccccccc-0000-0000-0000-000000000003}",
         true,
         {"DatabasePath: too large to read (2000000 bytes)",
          "DatabaseType: too large to read (4096 bytes)"}},
        {good,
         true,
         {"{aaaaaaaa-0000-0000-0000-000000000001}.sdb: a REG_DWORD of 4 bytes where a "
          "REG_QWORD belongs"}},
        {"readme.txt",
         false,
         {"\"readme.txt\" does not end in .sdb", "\"readme.txt\" is not a GUID"}},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        const inventory::Registration& registration = result.registrations[i];
        SCOPED_TRACE(registration.key);
        EXPECT_EQ(registration.guid, expected[i].guid);
        EXPECT_EQ(registration.guid_valid, expected[i].valid);
        EXPECT_EQ(registration.problems, expected[i].problems);
    }
    EXPECT_EQ(result.registrations[0].description, "open");
    EXPECT_FALSE(result.registrations[0].path);
    EXPECT_EQ(result.warnings,
              std::vector<std::string>{"HKLM\\SOFTWARE\\WOW6432Node\\" + key("InstalledSDB") +
                                       ": could not be read"});
    // Registrations that name no file still give a database each, and the text says why.
    std::vector<std::string> text = text_lines(result);
    EXPECT_TRUE(has_line(text, "  Problem: DatabasePath: a REG_DWORD where a string belongs"));
    EXPECT_TRUE(has_line(text, "  Path: (none)"));
}

TEST(InventoryLayers, StoredLayersAreSplitAndExpandedThroughTheMainDatabases) {
    MemoryRegistry registry;
    MemoryFiles files;
    files.add("C:\\Windows\\AppPatch\\sysmain.sdb",
              database_bytes({"Microsoft",
                              SYSMAIN_ID,
                              0,
                              "",
                              {"A", "B", "C"},
                              {{"WINXPSP3", {"A", "B"}}, {"RUNASADMIN", {"C"}}},
                              {}}));
    files.add("C:\\Windows\\AppPatch\\AppPatch64\\sysmain.sdb",
              database_bytes({"Microsoft",
                              SYSMAIN_ID,
                              0,
                              "",
                              {"D"},
                              {{"WINXPSP3", {"D"}}, {"HIGHDPIAWARE", {"D"}}},
                              {}}));
    registry.set(Hive::Machine, 0, key("Layers"),
                 {string_value("C:\\app\\a.exe", "~ # WinXPSP3  HIGHDPIAWARE")});
    size_t alice = registry.add_user("alice");
    registry.set(
        Hive::User, alice, std::string(USER_APPCOMPAT) + "\\Layers",
        {string_value("C:\\b.exe", "RUNASADMIN NOSUCHLAYER"), dword_value("C:\\c.exe", 1)});
    registry.set(Hive::User, alice,
                 std::string(USER_APPCOMPAT) + "\\Compatibility Assistant\\Store",
                 {raw_value("C:\\old\\setup.exe", inventory::VALUE_BINARY, {1, 2})});
    registry.set(Hive::User, alice,
                 std::string(USER_APPCOMPAT) + "\\Compatibility Assistant\\Persisted",
                 {dword_value("C:\\old\\game.exe", 1)});

    inventory::InventoryOptions options;
    options.databases = false;
    inventory::Inventory result = inventory::build_inventory(registry, files, options);
    EXPECT_TRUE(result.databases.empty());
    ASSERT_EQ(result.layers.size(), 3u);
    const inventory::StoredLayer& machine = result.layers[0];
    EXPECT_EQ(machine.markers, (std::vector<std::string>{"~", "#"}));
    ASSERT_EQ(machine.layers.size(), 2u);
    EXPECT_EQ(machine.layers[0].shims, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(machine.layers[0].database, "C:\\Windows\\AppPatch\\sysmain.sdb");
    EXPECT_EQ(machine.layers[1].database, "C:\\Windows\\AppPatch\\AppPatch64\\sysmain.sdb");

    std::vector<json> objects = json_objects(result);
    const json& user = *object_of(objects, "layer", "program", "C:\\b.exe");
    EXPECT_EQ(user["scope"], "user");
    EXPECT_EQ(user["user"], "alice");
    EXPECT_EQ(user["layers"][0], json({{"name", "RUNASADMIN"},
                                       {"found", true},
                                       {"database", "C:\\Windows\\AppPatch\\sysmain.sdb"},
                                       {"mainDatabase", true},
                                       {"shims", {"C"}}}));
    EXPECT_EQ(user["layers"][1]["found"], false);
    EXPECT_EQ(user["layers"][1]["database"], nullptr);
    const json& wrong = *object_of(objects, "layer", "program", "C:\\c.exe");
    EXPECT_EQ(wrong["problem"], "C:\\c.exe: a REG_DWORD where a string belongs");
    const json& store = *object_of(objects, "assistant", "program", "C:\\old\\setup.exe");
    EXPECT_EQ(store["list"], "Store");
    EXPECT_EQ(store["user"], "alice");
    EXPECT_NE(object_of(objects, "assistant", "program", "C:\\old\\game.exe"), nullptr);

    std::vector<std::string> text = text_lines(result);
    EXPECT_TRUE(has_line(text, "Layer (machine, native view) C:\\app\\a.exe: ~ # WinXPSP3  "
                               "HIGHDPIAWARE"));
    EXPECT_TRUE(has_line(text, "  WinXPSP3: A, B (C:\\Windows\\AppPatch\\sysmain.sdb)"));
    EXPECT_TRUE(has_line(text, "  NOSUCHLAYER: not defined in the main or registered databases"));
    EXPECT_TRUE(has_line(text, "Assistant (user alice, Persisted) C:\\old\\game.exe"));
}

TEST(InventoryOutput, HostileNamesStayOneLineAndJsonStaysAscii) {
    MemoryRegistry registry;
    MemoryFiles files;
    size_t user = registry.add_user("b\xc3\xa9r\xff");
    // Quotes, a character beyond the first plane and a line break in the program's name.
    const std::string program = "C:\\x \"q\" \xf0\x9f\x98\x80.exe\r\nDatabase {forged}: microsoft";
    registry.set(Hive::User, user, std::string(USER_APPCOMPAT) + "\\Layers",
                 {string_value(program, "RUNASADMIN")});
    inventory::Inventory result = inventory::build_inventory(registry, files);
    std::vector<std::string> text = text_lines(result);
    for (const std::string& line : text) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    }
    EXPECT_FALSE(has_line(text, "Database {forged}: microsoft"));
    ASSERT_GE(text.size(), 3u); // the summary, the host, the layer
    EXPECT_NE(text[2].find(") C:\\x \"q\" \xf0\x9f\x98\x80.exe??Database {forged}: microsoft: "
                           "RUNASADMIN"),
              std::string::npos)
        << text[2];
    std::vector<json> objects = json_objects(result);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[1]["program"], program);
    EXPECT_EQ(objects[1]["user"], "b\xc3\xa9r\xef\xbf\xbd");
}

// A GUID or a file name written in another case is the same database, as Windows reads them.
TEST(InventoryRegistrations, GuidsAndFileNamesMeetInAnyCase) {
    MemoryRegistry registry;
    MemoryFiles files;
    const std::string both = "{abcdef01-0000-0000-0000-000000000001}";
    const std::string custom_only = "{0badf00d-0000-0000-0000-000000000002}";
    register_installed(&registry, Hive::Machine, {both, std::string(CUSTOM) + both + ".sdb"});
    files.add(std::string(CUSTOM) + both + ".sdb",
              database_bytes({"Both", both, 0, "", {}, {}, {"both.exe"}}));
    registry.set(Hive::Machine, 0, key("Custom\\both.exe"),
                 {qword_value("{ABCDEF01-0000-0000-0000-000000000001}.SDB", FILETIME_2020)});
    registry.set(Hive::Machine, 0, key("Custom\\only.exe"),
                 {qword_value(custom_only + ".sdb", FILETIME_2020)});
    files.add(std::string(CUSTOM) + "{0BADF00D-0000-0000-0000-000000000002}.Sdb",
              database_bytes({"Only", custom_only, 0, "", {}, {}, {"only.exe"}}));

    inventory::Inventory result = inventory::build_inventory(registry, files);
    ASSERT_EQ(result.databases.size(), 2u);
    EXPECT_EQ(result.databases[0].guid, both);
    EXPECT_EQ(result.databases[0].registrations.size(), 2u);
    EXPECT_EQ(result.databases[1].guid, custom_only);
    EXPECT_EQ(result.databases[1].path,
              std::string(CUSTOM) + "{0BADF00D-0000-0000-0000-000000000002}.Sdb");
    EXPECT_EQ(result.databases[1].registrations.size(), 1u);
    for (const inventory::DatabaseRecord& database : result.databases) {
        EXPECT_EQ(database.provenance, inventory::Provenance::Installed) << database.reason;
    }
}

// A database whose one finding is medium, and one registered under another GUID whose NAME
// claims Microsoft: each says so in the order that matters, and one anomaly per disagreement.
TEST_F(InventoryAnomalies, MediumFindingsAlarmAndMismatchComesBeforeAClaim) {
    MemoryRegistry some;
    MemoryFiles disk;
    const std::string medium = "{0000000a-0000-0000-0000-000000000001}";
    register_installed(&some, Hive::Machine, {medium, std::string(CUSTOM) + "medium.sdb"});
    disk.add(std::string(CUSTOM) + "medium.sdb", database_bytes({"Microsoft Compatibility Helpers",
                                                                 medium,
                                                                 0,
                                                                 "",
                                                                 {"DisableNX"},
                                                                 {{"NONX", {"DisableNX"}}},
                                                                 {}}));
    const std::string claimed = "{0000000b-0000-0000-0000-000000000002}";
    register_installed(&some, Hive::Machine, {claimed, std::string(CUSTOM) + "claimed.sdb"});
    register_installed(&some, Hive::Machine32, {claimed, std::string(CUSTOM) + "claimed.sdb"});
    disk.add(std::string(CUSTOM) + "claimed.sdb",
             database_bytes({"Microsoft Windows Fixes",
                             "{0000000c-0000-0000-0000-000000000003}",
                             0,
                             "",
                             {},
                             {},
                             {}}));
    inventory::Inventory result = inventory::build_inventory(some, disk);
    ASSERT_EQ(result.databases.size(), 2u);

    const inventory::DatabaseRecord& risky = result.databases[0];
    std::vector<std::string> rules;
    for (const sdb::AuditFinding& finding : risky.findings) {
        EXPECT_EQ(finding.severity, sdb::AuditSeverity::Medium) << finding.rule;
        rules.push_back(finding.rule);
    }
    // The claim is an anomaly beside the medium fix, never a reason to lower it.
    EXPECT_NE(std::find(risky.anomalies.begin(), risky.anomalies.end(),
                        inventory::Provenance::ClaimsMicrosoft),
              risky.anomalies.end());
    EXPECT_NE(std::find(rules.begin(), rules.end(), "weakens-security"), rules.end());
    MemoryRegistry alone;
    register_installed(&alone, Hive::Machine, {medium, std::string(CUSTOM) + "medium.sdb"});
    MemoryFiles medium_only;
    std::vector<uint8_t> bytes =
        database_bytes({"Contoso", medium, 0, "", {"DisableNX"}, {{"NONX", {"DisableNX"}}}, {}});
    medium_only.add(std::string(CUSTOM) + "medium.sdb", bytes);
    inventory::Inventory quiet = inventory::build_inventory(alone, medium_only);
    ASSERT_EQ(quiet.databases.size(), 1u);
    EXPECT_TRUE(quiet.databases[0].anomalies.empty()) << quiet.databases[0].reason;
    ASSERT_FALSE(quiet.databases[0].findings.empty());
    EXPECT_TRUE(inventory::inventory_alarms(quiet)) << "a medium finding alone raises the alarm";

    const inventory::DatabaseRecord& mismatch = result.databases[1];
    EXPECT_EQ(mismatch.provenance, inventory::Provenance::GuidMismatch);
    EXPECT_EQ(mismatch.registrations.size(), 2u);
    EXPECT_EQ(mismatch.anomalies,
              (std::vector<inventory::Provenance>{inventory::Provenance::GuidMismatch,
                                                  inventory::Provenance::ClaimsMicrosoft}));
}

TEST(InventoryRegistryValues, MissingPathsBareSuffixesAndBinaryTimesAreReadAsWindowsWritesThem) {
    MemoryRegistry registry;
    MemoryFiles files;
    const std::string bare = "{0000000d-0000-0000-0000-000000000004}";
    registry.set(Hive::Machine, 0, key("InstalledSDB\\" + bare),
                 {raw_value("DatabaseInstallTimeStamp", inventory::VALUE_BINARY,
                            qword_bytes(FILETIME_2020))});
    registry.set(Hive::Machine, 0, key("Custom\\odd.exe"), {qword_value(".sdb", FILETIME_2020)});
    inventory::Inventory result = inventory::build_inventory(registry, files);
    ASSERT_EQ(result.registrations.size(), 2u);
    EXPECT_EQ(result.registrations[0].problems, std::vector<std::string>{"DatabasePath: absent"});
    EXPECT_EQ(result.registrations[0].install_time, FILETIME_2020);
    EXPECT_FALSE(result.registrations[1].guid_valid);
    EXPECT_EQ(result.registrations[1].problems,
              std::vector<std::string>{"\".sdb\" is not a database name"});
    const inventory::DatabaseRecord* pathless = nullptr;
    for (const inventory::DatabaseRecord& database : result.databases) {
        pathless = database.guid == bare ? &database : pathless;
    }
    ASSERT_NE(pathless, nullptr);
    EXPECT_TRUE(pathless->path.empty());
    EXPECT_EQ(pathless->provenance, inventory::Provenance::MissingFile);
    EXPECT_NE(pathless->reason.find("with no DatabasePath"), std::string::npos) << pathless->reason;
}

// Paths written as Windows accepts them meet the one file: folded beyond ASCII, with
// %SystemDrive%, a "\\?\" or "\\.\" prefix, doubled or mixed separators; a Custom value meets
// its InstalledSDB key in another case wherever the file lies.
TEST(InventoryRegistrations, PathsInAnyFormWindowsAcceptsMeetTheSameFile) {
    MemoryRegistry registry;
    MemoryFiles files;
    struct Case {
        std::string guid;
        std::string registered;
        std::string file;
    };
    const Case cases[] = {
        {"{00000001-0000-0000-0000-0000000000a1}", std::string(CUSTOM) + "\xc3\x84RGER.sdb",
         std::string(CUSTOM) + "\xc3\xa4rger.sdb"},
        {"{00000002-0000-0000-0000-0000000000a2}",
         "%SystemDrive%\\Windows\\AppPatch\\Custom\\drive.sdb", std::string(CUSTOM) + "drive.sdb"},
        {"{00000003-0000-0000-0000-0000000000a3}", "\\\\?\\C:\\Tools\\long.sdb",
         "C:\\Tools\\long.sdb"},
        {"{00000004-0000-0000-0000-0000000000a4}", "\\\\.\\c:\\Tools\\device.sdb",
         "C:\\Tools\\device.sdb"},
        {"{00000005-0000-0000-0000-0000000000a5}", "C:\\Tools//twice\\\\mixed/x.sdb",
         "C:\\Tools\\twice\\mixed\\x.sdb"},
    };
    for (const Case& one : cases) {
        register_installed(&registry, Hive::Machine, {one.guid, one.registered});
        files.add(one.file, database_bytes({"Vendor", one.guid, 0, "", {}, {}, {}}));
    }
    // The Custom value in upper case, for the file outside AppPatch\Custom.
    std::string upper = "{00000003-0000-0000-0000-0000000000A3}.SDB";
    registry.set(Hive::Machine, 0, key("Custom\\long.exe"), {qword_value(upper, FILETIME_2020)});

    inventory::Inventory result = inventory::build_inventory(registry, files);
    ASSERT_EQ(result.databases.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].registered);
        EXPECT_EQ(result.databases[i].file, inventory::FileStatus::Ok);
        EXPECT_EQ(result.databases[i].provenance, inventory::Provenance::Installed)
            << result.databases[i].reason;
    }
    EXPECT_EQ(result.databases[1].path, "C:\\Windows\\AppPatch\\Custom\\drive.sdb");
    EXPECT_EQ(result.databases[2].registrations.size(), 2u);
    EXPECT_TRUE(inventory::equal_ignoring_case("\xc3\x84RGER.sdb", "\xc3\xa4rger.SDB"));
    EXPECT_TRUE(inventory::equal_ignoring_case("\xce\xa3\xce\x91", "\xcf\x83\xce\xb1")); // ΣΑ, σα
    EXPECT_FALSE(inventory::equal_ignoring_case("\xc3\x84", "A"));
}

// Layers that custom databases define: registered under Custom\Layers, stored for programs,
// and expanded from the database that defines them, which the record names.
TEST(InventoryLayers, LayersOfRegisteredDatabasesAreRegistrationsAndExpandFromThem) {
    MemoryRegistry registry;
    MemoryFiles files;
    files.add("C:\\Windows\\AppPatch\\sysmain.sdb",
              database_bytes({"Microsoft Windows Application Compatibility Fix Database",
                              SYSMAIN_ID,
                              0,
                              "",
                              {"A"},
                              {{"WINXPSP3", {"A"}}},
                              {}}));
    files.add("C:\\Windows\\AppPatch\\AppPatch64\\sysmain.sdb",
              database_bytes({"Microsoft Windows Application Compatibility Fix Database",
                              SYSMAIN_ID,
                              0,
                              "",
                              {"B"},
                              {{"HIGHDPIAWARE", {"B"}}},
                              {}}));
    const std::string evil = "{0000000e-0000-0000-0000-000000000005}";
    register_installed(&registry, Hive::Machine, {evil, std::string(CUSTOM) + evil + ".sdb"});
    files.add(std::string(CUSTOM) + evil + ".sdb",
              database_bytes({"Helper",
                              evil,
                              0,
                              "",
                              {"InjectDll"},
                              {{"EvilLayer", {"InjectDll"}}, {"WINXPSP3", {"InjectDll"}}},
                              {"", "tool.exe"}}));
    registry.set(Hive::Machine, 0, key("Custom\\Layers\\EvilLayer"),
                 {qword_value(evil + ".sdb", FILETIME_2020)});
    registry.set(Hive::Machine, 0, key("Layers"),
                 {string_value("C:\\a.exe", "~ EvilLayer"),
                  string_value("C:\\b.exe", "~ WinXPSP3 #"),
                  string_value("C:\\c.exe", "HighDpiAware")});

    inventory::Inventory result = inventory::build_inventory(registry, files);
    ASSERT_EQ(result.registrations.size(), 2u);
    EXPECT_EQ(result.registrations[1].layer, "EvilLayer");
    EXPECT_EQ(result.registrations[1].program, "");
    EXPECT_EQ(result.registrations[1].guid, evil);
    ASSERT_EQ(result.databases.size(), 3u);
    EXPECT_EQ(result.databases[2].registrations.size(), 2u);
    // An EXE without a NAME targets nothing.
    EXPECT_EQ(result.databases[2].target_count, 1u);
    EXPECT_EQ(result.databases[2].targets, std::vector<std::string>{"tool.exe"});

    ASSERT_EQ(result.layers.size(), 3u);
    const inventory::LayerExpansion& defined = result.layers[0].layers.at(0);
    EXPECT_TRUE(defined.found);
    EXPECT_FALSE(defined.main);
    EXPECT_EQ(defined.database, std::string(CUSTOM) + evil + ".sdb");
    EXPECT_EQ(defined.shims, std::vector<std::string>{"InjectDll"});
    // The main database's definition comes first, as in the engine; "#" after a layer is one.
    EXPECT_EQ(result.layers[1].markers, std::vector<std::string>{"~"});
    ASSERT_EQ(result.layers[1].layers.size(), 2u);
    EXPECT_EQ(result.layers[1].layers[0].database, "C:\\Windows\\AppPatch\\sysmain.sdb");
    EXPECT_TRUE(result.layers[1].layers[0].main);
    EXPECT_EQ(result.layers[1].layers[1].name, "#");
    EXPECT_FALSE(result.layers[1].layers[1].found);
    EXPECT_EQ(result.layers[2].layers.at(0).database,
              "C:\\Windows\\AppPatch\\AppPatch64\\sysmain.sdb");

    std::vector<std::string> text = text_lines(result);
    EXPECT_TRUE(has_line(text, "Registration Custom (native view) for layer EvilLayer " + evil));
    EXPECT_TRUE(has_line(text, "  EvilLayer: InjectDll (" + std::string(CUSTOM) + evil + ".sdb)"));
    std::vector<json> objects = json_objects(result);
    const json& layer = *object_of(objects, "registration", "layer", "EvilLayer");
    EXPECT_EQ(layer["program"], nullptr);
    const json& stored = *object_of(objects, "layer", "program", "C:\\a.exe");
    EXPECT_EQ(stored["layers"][0]["mainDatabase"], false);

    // Asked for the layers alone, the registered databases still define theirs.
    inventory::InventoryOptions options;
    options.databases = false;
    inventory::Inventory layers_only = inventory::build_inventory(registry, files, options);
    EXPECT_TRUE(layers_only.databases.empty());
    EXPECT_TRUE(layers_only.registrations.empty());
    EXPECT_TRUE(layers_only.layers.at(0).layers.at(0).found);
}

TEST(InventoryOutput, ControlAndMalformedBytesAreEscapedOrReplaced) {
    MemoryRegistry registry;
    MemoryFiles files;
    // A user's name comes from the file system as bytes, which need not be UTF-8.
    size_t user = registry.add_user("eve\xf9\x80\x80\x80");
    registry.set(Hive::User, user, std::string(USER_APPCOMPAT) + "\\Layers",
                 {string_value("C:\\del\x7f.exe", "X")});
    inventory::Inventory result = inventory::build_inventory(registry, files);
    std::string lines = inventory::inventory_json(result, "\n");
    EXPECT_NE(lines.find("\"C:\\\\del\\u007f.exe\""), std::string::npos) << lines;
    EXPECT_NE(lines.find("\"eve\\ufffd\\ufffd\\ufffd\\ufffd\""), std::string::npos) << lines;
    std::vector<std::string> text = text_lines(result);
    EXPECT_TRUE(has_line(text, "Layer (user eve\xf9\x80\x80\x80) C:\\del?.exe: X"));
}

} // namespace
