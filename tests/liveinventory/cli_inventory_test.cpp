// quillet-cli --databases and --layers on the prefix's system, with registrations, files and
// stored layers that the tests plant: each case checked field by field in text and JSON.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

#include "../../common/utf8_text.h"
#include "../cli/cli_run.h"
#include "planted_state.h"

using nlohmann::json;

namespace {

const std::string MainGuid = "{11111111-1111-1111-1111-111111111111}";
const std::string SampleGuid = "{4c8f2a1e-7b3d-4e59-9a06-d2c4b8e1f357}";
// The planted cases, one GUID each.
const std::string MissingGuid = "{5e1f0c2a-7d41-4b8e-9c3a-000000000001}";
const std::string OrphanGuid = "{5e1f0c2a-7d41-4b8e-9c3a-000000000002}";
const std::string MismatchGuid = "{5e1f0c2a-7d41-4b8e-9c3a-000000000003}";
const std::string MismatchFileGuid = "{5e1f0c2a-7d41-4b8e-9c3a-000000000004}";
const std::string ClaimsGuid = "{5e1f0c2a-7d41-4b8e-9c3a-000000000005}";
const std::string InjectGuid = "{5e1f0c2a-7d41-4b8e-9c3a-000000000006}";
const std::string BadValuesGuid = "{5e1f0c2a-7d41-4b8e-9c3a-000000000007}";

const wchar_t* const UserProgram = L"C:\\quillet-samples\\victim.exe";
const wchar_t* const MachineProgram = L"C:\\quillet-samples\\elevated.exe";

std::wstring Wide(const std::string& text) {
    return WideFromUtf8(text);
}

std::wstring Installed(const std::string& guid) {
    return std::wstring(AppCompatFlagsKey) + L"\\InstalledSDB\\" + Wide(guid);
}

std::wstring CustomFolder() {
    return WindowsFolder() + L"\\AppPatch\\Custom";
}

std::string CustomFile(const std::string& guid) {
    return Utf8(CustomFolder()) + "\\" + guid + ".sdb";
}

// Everything the cases need, planted once for the whole suite and removed at its end.
struct PlantedSystem {
    std::vector<std::unique_ptr<PlantedValue>> values;
    std::unique_ptr<PlantedFolder> custom64;
    std::vector<std::unique_ptr<PlantedFile>> files;

    void Register(const std::string& guid, const std::wstring& path) {
        Value(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, Installed(guid), L"DatabasePath", REG_SZ,
              StringData(path));
        Value(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, Installed(guid), L"DatabaseDescription", REG_SZ,
              StringData(L"planted " + Wide(guid)));
        Value(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, Installed(guid), L"DatabaseType", REG_DWORD,
              DwordData(0x10000));
        // 2021-06-01T00:00:00Z.
        Value(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, Installed(guid), L"DatabaseInstallTimeStamp",
              REG_QWORD, QwordData(132669792000000000ULL));
    }
    void Value(HKEY root, REGSAM view, const std::wstring& key, const std::wstring& name,
               DWORD type, const std::vector<BYTE>& data) {
        values.push_back(
            std::unique_ptr<PlantedValue>(new PlantedValue(root, view, key, name, type, data)));
        EXPECT_TRUE(values.back()->Written()) << Utf8(key + L"\\" + name);
    }
    void File(const std::string& path, const std::vector<uint8_t>& bytes) {
        files.push_back(std::unique_ptr<PlantedFile>(new PlantedFile(Wide(path), bytes)));
        EXPECT_TRUE(files.back()->Written()) << path;
    }
};

struct Runs {
    CliRun text;
    CliRun json;
    CliRun layersOnly;
    CliRun highOnly; // --min-severity high
};

class CliInventory : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        planted_ = new PlantedSystem;
        PlantedSystem& system = *planted_;
        system.Register(MissingGuid, L"%windir%\\AppPatch\\Custom\\" + Wide(MissingGuid) + L".sdb");
        system.File(CustomFile(OrphanGuid), DatabaseImage(u"Orphan fixes", OrphanGuid, false));
        system.Register(MismatchGuid, Wide(CustomFile(MismatchGuid)));
        system.File(CustomFile(MismatchGuid),
                    DatabaseImage(u"Mismatched fixes", MismatchFileGuid, false));
        system.custom64.reset(new PlantedFolder(CustomFolder() + L"\\Custom64"));
        const std::string claims = Utf8(CustomFolder()) + "\\Custom64\\" + ClaimsGuid + ".sdb";
        system.Register(ClaimsGuid, Wide(claims));
        system.File(claims,
                    DatabaseImage(u"Microsoft Windows Compatibility Fixes", ClaimsGuid, false));
        system.Register(InjectGuid, Wide(CustomFile(InjectGuid)));
        system.File(CustomFile(InjectGuid), DatabaseImage(u"Victim fixes", InjectGuid, true));
        system.Value(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY,
                     std::wstring(AppCompatFlagsKey) + L"\\Custom\\victim.exe",
                     Wide(InjectGuid) + L".sdb", REG_QWORD, QwordData(132669792000000000ULL));
        // A registration of the 32-bit view whose values are all of the wrong type.
        system.Value(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, Installed(BadValuesGuid), L"DatabasePath",
                     REG_DWORD, DwordData(7));
        system.Value(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, Installed(BadValuesGuid),
                     L"DatabaseInstallTimeStamp", REG_SZ, StringData(L"yesterday"));
        const std::wstring layers = std::wstring(AppCompatFlagsKey) + L"\\Layers";
        system.Value(HKEY_CURRENT_USER, KEY_WOW64_64KEY, layers, UserProgram, REG_SZ,
                     StringData(L"~ WinXPSp3 NoSuchLayer"));
        system.Value(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, layers, MachineProgram, REG_SZ,
                     StringData(L"RunAsAdmin"));
        runs_ =
            new Runs{RunCli(L"--databases --layers"), RunCli(L"--json --databases --layers"),
                     RunCli(L"--json --layers"), RunCli(L"--json --databases --min-severity high")};
    }
    static void TearDownTestSuite() {
        delete runs_;
        delete planted_;
    }

    // The JSON objects of a run, each line parsed on its own.
    static std::vector<json> Objects(const CliRun& run) {
        std::vector<json> objects;
        size_t start = 0;
        while (start < run.rawOutput.size()) {
            const size_t end = run.rawOutput.find("\r\n", start);
            EXPECT_NE(std::string::npos, end) << "unterminated last line";
            objects.push_back(json::parse(run.rawOutput.substr(start, end - start)));
            start = end == std::string::npos ? run.rawOutput.size() : end + 2;
        }
        return objects;
    }
    // The one object of a type whose field has the value; null when there is none.
    static json Find(const std::vector<json>& objects, const std::string& type,
                     const std::string& field, const std::string& value) {
        json found;
        for (const json& object : objects) {
            if (object["type"] == type && object[field] == value) {
                EXPECT_TRUE(found.is_null()) << "two " << type << " objects with " << value;
                found = object;
            }
        }
        return found;
    }
    // The lines of the text block that starts with the header, up to the next unindented line.
    static std::vector<std::wstring> Block(const std::wstring& output, const std::wstring& header) {
        std::vector<std::wstring> lines;
        size_t at = output.find(L"\r\n" + header);
        if (at == std::wstring::npos) {
            return lines;
        }
        at += 2;
        while (at < output.size()) {
            const size_t end = output.find(L"\r\n", at);
            const std::wstring line = output.substr(at, end - at);
            if (!lines.empty() && line.compare(0, 2, L"  ") != 0) {
                break;
            }
            lines.push_back(line);
            at = end == std::wstring::npos ? output.size() : end + 2;
        }
        return lines;
    }
    static bool HasLine(const std::vector<std::wstring>& lines, const std::wstring& line) {
        for (const std::wstring& candidate : lines) {
            if (candidate == line) {
                return true;
            }
        }
        return false;
    }

    static PlantedSystem* planted_;
    static Runs* runs_;
};

PlantedSystem* CliInventory::planted_ = NULL;
Runs* CliInventory::runs_ = NULL;

TEST_F(CliInventory, EachDatabaseGetsItsProvenanceWithEveryFieldInJson) {
    const std::vector<json> objects = Objects(runs_->json);
    ASSERT_FALSE(objects.empty());
    EXPECT_EQ("banner", objects[0]["type"]);
    EXPECT_EQ(3u, runs_->json.exitCode) << Utf8(runs_->json.errors);

    const json main = Find(objects, "database", "guid", MainGuid);
    ASSERT_TRUE(main.is_object()) << runs_->json.rawOutput;
    EXPECT_EQ(Utf8(WindowsFolder()) + "\\AppPatch\\sysmain.sdb", main["path"]);
    // Wine verifies no signature: the place and the DATABASE_ID are only a claim.
    EXPECT_EQ("claims-microsoft", main["provenance"]);
    EXPECT_NE(std::string::npos, main["reason"].get<std::string>().find("signature not verified"))
        << main["reason"];
    EXPECT_EQ(true, main["main"]);
    EXPECT_EQ(true, main["exists"]);
    EXPECT_EQ(json::array(), main["anomalies"]);
    EXPECT_EQ("Quillet sample of Microsoft's main database", main["name"]);
    EXPECT_EQ(MainGuid, main["databaseId"]);
    EXPECT_EQ(6, main["counts"]["layer"]);
    EXPECT_EQ(8, main["counts"]["shim"]);
    EXPECT_EQ(5, main["counts"]["exe"]);
    EXPECT_EQ(4, main["targetCount"]); // cadwriter.exe, ledgerpro.exe, northwind?*.exe and *

    const json sample = Find(objects, "database", "guid", SampleGuid);
    ASSERT_TRUE(sample.is_object());
    EXPECT_EQ("installed", sample["provenance"]);
    EXPECT_EQ(false, sample["main"]);
    // The prefix's setup registers it in the view of the loader that made the prefix; a prefix
    // made by both loaders holds it in both views.
    const json& places = sample["registeredAt"];
    ASSERT_TRUE(places.size() == 2u || places.size() == 4u) << places;
    EXPECT_EQ("InstalledSDB", places[0]["kind"]);
    EXPECT_EQ("InstalledSDB", places[places.size() / 2 - 1]["kind"]);
    EXPECT_EQ("Custom", places[places.size() / 2]["kind"]);
    EXPECT_EQ("Custom", places[places.size() - 1]["kind"]);

    const json missing = Find(objects, "database", "guid", MissingGuid);
    ASSERT_TRUE(missing.is_object());
    EXPECT_EQ("missing-file", missing["provenance"]);
    EXPECT_EQ(CustomFile(MissingGuid), missing["path"]) << "%windir% is expanded";
    EXPECT_EQ(false, missing["exists"]);
    EXPECT_EQ(false, missing["readable"]);
    EXPECT_TRUE(missing["name"].is_null());

    const json orphan = Find(objects, "database", "guid", OrphanGuid);
    ASSERT_TRUE(orphan.is_object());
    EXPECT_EQ("unregistered", orphan["provenance"]);
    EXPECT_EQ(json::array(), orphan["registeredAt"]);
    EXPECT_EQ("Orphan fixes", orphan["name"]);

    const json mismatch = Find(objects, "database", "guid", MismatchGuid);
    ASSERT_TRUE(mismatch.is_object());
    EXPECT_EQ("guid-mismatch", mismatch["provenance"]);
    EXPECT_EQ(MismatchFileGuid, mismatch["databaseId"]);
    EXPECT_EQ("Mismatched fixes", mismatch["name"]);

    const json claims = Find(objects, "database", "guid", ClaimsGuid);
    ASSERT_TRUE(claims.is_object()) << "the Custom64 folder is read";
    EXPECT_EQ("claims-microsoft", claims["provenance"]);
    EXPECT_EQ(Utf8(CustomFolder()) + "\\Custom64\\" + ClaimsGuid + ".sdb", claims["path"]);

    const json inject = Find(objects, "database", "guid", InjectGuid);
    ASSERT_TRUE(inject.is_object());
    EXPECT_EQ("installed", inject["provenance"]);
    EXPECT_EQ(true, inject["exists"]);
    EXPECT_EQ("Victim fixes", inject["name"]);
    EXPECT_EQ(InjectGuid, inject["databaseId"]);
    EXPECT_EQ("2020-01-02T03:04:05Z", inject["time"]);
    EXPECT_EQ("3.0.0.9", inject["compilerVersion"]);
    EXPECT_EQ(1, inject["counts"]["exe"]);
    EXPECT_EQ(json::array({"victim.exe"}), inject["targets"]);
    EXPECT_EQ(1, inject["targetCount"]);
    EXPECT_EQ(1, inject["findingCounts"]["high"]) << inject.dump();
    const json finding = Find(objects, "finding", "guid", InjectGuid);
    ASSERT_TRUE(finding.is_object()) << runs_->json.rawOutput;
    EXPECT_EQ("inject-dll", finding["rule"]);
    EXPECT_EQ("victim.exe", finding["entry"]["exe"]);
    EXPECT_EQ(inject["path"], finding["path"]);

    // The file's own facts, and on every line the computer and the time of collection.
    EXPECT_EQ(64u, inject["sha256"].get<std::string>().size());
    EXPECT_LT(0, inject["size"].get<int>());
    EXPECT_TRUE(inject["modified"].is_string()) << inject.dump();
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &size));
    for (size_t i = 1; i < objects.size(); ++i) {
        EXPECT_EQ(Utf8(std::wstring(computer, size)), objects[i]["host"]) << objects[i].dump();
        EXPECT_TRUE(objects[i]["collected"].is_string()) << objects[i].dump();
    }
    ASSERT_LT(1u, objects.size());
    EXPECT_EQ("inventorySummary", objects[1]["type"]);
    EXPECT_LE(1, objects[1]["provenance"]["missing-file"].get<int>());
}

TEST_F(CliInventory, FindingsBelowTheMinimumSeverityAreCountedNotListed) {
    const std::vector<json> objects = Objects(runs_->highOnly);
    ASSERT_LT(1u, objects.size());
    const json& summary = objects[1];
    EXPECT_EQ("inventorySummary", summary["type"]);
    EXPECT_EQ("high", summary["minSeverity"]);
    EXPECT_LT(0, summary["hiddenFindings"].get<int>()) << "the main database's info findings";
    for (const json& object : objects) {
        if (object["type"] == "finding") {
            EXPECT_EQ("high", object["severity"]) << object.dump();
        }
    }
    EXPECT_TRUE(Find(objects, "finding", "guid", InjectGuid).is_object());
}

TEST_F(CliInventory, RegistrationsCarryTheirValuesAndTheProblemsOfBadOnes) {
    const std::vector<json> objects = Objects(runs_->json);
    const json inject = Find(objects, "registration", "key",
                             "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\"
                             "AppCompatFlags\\InstalledSDB\\" +
                                 InjectGuid);
    ASSERT_TRUE(inject.is_object()) << runs_->json.rawOutput;
    EXPECT_EQ("InstalledSDB", inject["kind"]);
    EXPECT_EQ("native", inject["view"]);
    EXPECT_EQ(InjectGuid, inject["guid"]);
    EXPECT_EQ(true, inject["guidValid"]);
    EXPECT_EQ(CustomFile(InjectGuid), inject["path"]);
    EXPECT_EQ("planted " + InjectGuid, inject["description"]);
    EXPECT_EQ("2021-06-01T00:00:00Z", inject["installTime"]);
    EXPECT_EQ(0x10000, inject["databaseType"]);
    EXPECT_EQ(json::array(), inject["problems"]);

    json custom;
    for (const json& object : objects) {
        if (object["type"] == "registration" && object["kind"] == "Custom" &&
            object["program"] == "victim.exe") {
            custom = object;
        }
    }
    ASSERT_TRUE(custom.is_object());
    EXPECT_EQ(InjectGuid, custom["guid"]);
    EXPECT_EQ("2021-06-01T00:00:00Z", custom["installTime"]);

    // Only the 32-bit view holds this one, so only a read of that view finds it.
    const json bad = Find(objects, "registration", "guid", BadValuesGuid);
    ASSERT_TRUE(bad.is_object());
    EXPECT_EQ("32-bit", bad["view"]);
    EXPECT_TRUE(bad["path"].is_null());
    EXPECT_TRUE(bad["installTime"].is_null());
    EXPECT_EQ(2u, bad["problems"].size()) << bad.dump();
}

TEST_F(CliInventory, TextShowsTheSameFactsAsJson) {
    const std::wstring& text = runs_->text.output;
    EXPECT_EQ(3u, runs_->text.exitCode);
    EXPECT_EQ(0u, text.find(L"Running on ")) << "the banner comes first";

    const std::vector<std::wstring> missing =
        Block(text, L"Database " + Wide(MissingGuid) + L": missing-file");
    ASSERT_FALSE(missing.empty()) << text;
    EXPECT_TRUE(HasLine(missing, L"  Path: " + Wide(CustomFile(MissingGuid)) + L" (missing)"));

    const std::vector<std::wstring> orphan =
        Block(text, L"Database " + Wide(OrphanGuid) + L": unregistered");
    EXPECT_TRUE(HasLine(orphan, L"  Registered: nowhere")) << text;
    EXPECT_TRUE(HasLine(orphan, L"  Name: Orphan fixes"));

    const std::vector<std::wstring> mismatch =
        Block(text, L"Database " + Wide(MismatchGuid) + L": guid-mismatch");
    EXPECT_TRUE(HasLine(mismatch, L"  DATABASE_ID: " + Wide(MismatchFileGuid))) << text;

    EXPECT_FALSE(Block(text, L"Database " + Wide(ClaimsGuid) + L": claims-microsoft").empty());
    EXPECT_FALSE(Block(text, L"Database " + Wide(MainGuid) + L": claims-microsoft").empty());
    // The summary first, and the main database after what needs a look.
    EXPECT_NE(std::wstring::npos, text.find(L"\r\nSummary: ")) << text;
    EXPECT_LT(text.find(L"Database " + Wide(MissingGuid) + L": missing-file"),
              text.find(L"Database " + Wide(MainGuid) + L": claims-microsoft"));

    const std::vector<std::wstring> inject =
        Block(text, L"Database " + Wide(InjectGuid) + L": installed");
    ASSERT_FALSE(inject.empty()) << text;
    EXPECT_TRUE(HasLine(inject, L"  Time: 2020-01-02T03:04:05Z"));
    EXPECT_TRUE(HasLine(inject, L"  Entries: EXE 1, LAYER 0, SHIM 0, PATCH 0, MSI 0"));
    EXPECT_TRUE(HasLine(inject, L"  Targets: victim.exe (1 in all)"));
    bool finding = false;
    for (const std::wstring& line : inject) {
        finding = finding || line.find(L"  Finding: high inject-dll in EXE victim.exe") == 0;
    }
    EXPECT_TRUE(finding) << Utf8(text);
}

TEST_F(CliInventory, StoredLayersAreExpandedIntoTheShimsTheEngineReads) {
    const std::vector<json> objects = Objects(runs_->layersOnly);
    EXPECT_EQ(0u, runs_->layersOnly.exitCode) << "layers alone raise no alarm";
    for (const json& object : objects) {
        EXPECT_NE("database", object["type"]) << "--layers alone lists no databases";
    }
    const std::string sysmain = Utf8(WindowsFolder()) + "\\AppPatch\\sysmain.sdb";

    const json user = Find(objects, "layer", "program", Utf8(UserProgram));
    ASSERT_TRUE(user.is_object()) << runs_->layersOnly.rawOutput;
    EXPECT_EQ("user", user["scope"]);
    EXPECT_EQ("~ WinXPSp3 NoSuchLayer", user["value"]);
    EXPECT_EQ(json::array({"~"}), user["markers"]);
    ASSERT_EQ(2u, user["layers"].size());
    EXPECT_EQ("WinXPSp3", user["layers"][0]["name"]);
    EXPECT_EQ(true, user["layers"][0]["found"]);
    EXPECT_EQ(sysmain, user["layers"][0]["database"]);
    EXPECT_EQ(json::array({"VersionLieXPSp3", "RedirectProgramFolderWrites"}),
              user["layers"][0]["shims"]);
    EXPECT_EQ("NoSuchLayer", user["layers"][1]["name"]);
    EXPECT_EQ(false, user["layers"][1]["found"]);
    EXPECT_TRUE(user["layers"][1]["database"].is_null());

    const json machine = Find(objects, "layer", "program", Utf8(MachineProgram));
    ASSERT_TRUE(machine.is_object());
    EXPECT_EQ("machine", machine["scope"]);
    EXPECT_EQ("native", machine["view"]);
    EXPECT_EQ(json::array({"ElevateToAdmin"}), machine["layers"][0]["shims"]);

    const std::wstring& text = runs_->text.output;
    const std::vector<std::wstring> block =
        Block(text, L"Layer (user " + Wide(user["user"].get<std::string>()) + L") " + UserProgram +
                        L": ~ WinXPSp3 NoSuchLayer");
    ASSERT_EQ(3u, block.size()) << Utf8(text);
    EXPECT_EQ(L"  WinXPSp3: VersionLieXPSp3, RedirectProgramFolderWrites (" + Wide(sysmain) + L")",
              block[1]);
    EXPECT_EQ(L"  NoSuchLayer: not defined in the main or registered databases", block[2]);
}

// Neither the alarm (3) nor the missing file (1) hides the other.
TEST_F(CliInventory, AnAlarmBesideAMissingFileGivesFourAndTheReportStillComes) {
    const CliRun run = RunCli(L"--json --databases C:\\quillet-samples\\no-such.exe");
    EXPECT_EQ(4u, run.exitCode) << Utf8(run.errors);
    EXPECT_NE(std::wstring::npos, run.errors.find(L"no such file"));
    const std::vector<json> objects = Objects(run);
    ASSERT_GE(objects.size(), 2u);
    EXPECT_EQ("file", objects[1]["type"]) << "the targets come before the inventory";
    EXPECT_TRUE(Find(objects, "database", "guid", MissingGuid).is_object());
}

} // namespace
