// quillet-image over image trees built by the tests.
//
// Paths of any case, links out of ROOT,
// dirty and damaged hives, the program's streams and exit codes, and that nothing is written.
#include "image_banner.h"
#include "image_files.h"
#include "image_hives.h"
#include "regf_header.h"
#include "inventory.h"
#include "inventory_output.h"
#include "test_database.h"
#include "test_hive.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using inventory::FileStatus;
using nlohmann::json;

namespace {

const char* const INSTALLED = "{aaaaaaaa-0000-0000-0000-000000000001}";
const char* const OUTSIDE = "{bbbbbbbb-0000-0000-0000-000000000002}";
const char* const CLIMBING = "{cccccccc-0000-0000-0000-000000000003}";
const char* const LINKED = "{dddddddd-0000-0000-0000-000000000004}";
const char* const FIFO = "{eeeeeeee-0000-0000-0000-000000000005}";

void write_file(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TestValue string_test_value(const std::string& name, const std::string& text) {
    return {name, inventory::VALUE_STRING, utf16(text)};
}

std::vector<TestValue> installed_values(const std::string& path) {
    return {string_test_value("DatabasePath", path),
            {"DatabaseInstallTimeStamp", inventory::VALUE_QWORD, qword_bytes(1)}};
}

struct ProgramRun {
    int exit_code;
    std::string out;
    std::string err;
};

// An image under a fresh temporary folder, with a database outside it for links to aim at.
class ImageTree : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quillet-image-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        base = pattern;
        root = base / "image";
        fs::path windows = root / "wINDOWS";
        fs::path custom = windows / "apppatch" / "CUSTOM";
        write_file(windows / "apppatch" / "SysMain.SDB",
                   database_bytes({"Microsoft",
                                   SYSMAIN_ID,
                                   0,
                                   "",
                                   {"A", "B"},
                                   {{"RUNASADMIN", {"A"}}, {"WINXPSP3", {"A", "B"}}},
                                   {}}));
        write_file(custom / (std::string(INSTALLED) + ".SDB"),
                   database_bytes({"Contoso", INSTALLED, 0, "", {}, {}, {"contoso.exe"}}));
        write_file(base / "outside.sdb",
                   database_bytes({"Outside", OUTSIDE, 0, "", {}, {}, {"secret.exe"}}));
        fs::create_symlink(base / "outside.sdb", custom / (std::string(OUTSIDE) + ".sdb"));
        fs::create_symlink("../../../../outside.sdb", custom / (std::string(CLIMBING) + ".sdb"));
        write_file(windows / "apppatch" / "real" / "linked.sdb",
                   database_bytes({"Linked", LINKED, 0, "", {}, {}, {}}));
        fs::create_symlink("../real/linked.sdb", custom / (std::string(LINKED) + ".sdb"));
        ASSERT_EQ(mkfifo((custom / (std::string(FIFO) + ".sdb")).c_str(), 0600), 0);

        TestHive software;
        software.key("Microsoft\\Windows NT\\CurrentVersion",
                     {{"CurrentMajorVersionNumber", inventory::VALUE_DWORD, dword_bytes(10)},
                      {"CurrentMinorVersionNumber", inventory::VALUE_DWORD, dword_bytes(0)},
                      string_test_value("CurrentBuildNumber", "19045")});
        software.key(
            std::string(APPCOMPAT) + "\\InstalledSDB\\" + INSTALLED,
            installed_values("C:\\Windows\\AppPatch\\Custom\\" + std::string(INSTALLED) + ".sdb"));
        for (const char* guid : {OUTSIDE, CLIMBING, LINKED}) {
            software.key(
                std::string(APPCOMPAT) + "\\InstalledSDB\\" + guid,
                installed_values("%windir%\\AppPatch\\Custom\\" + std::string(guid) + ".sdb"));
        }
        software.key(std::string("WOW6432Node\\") + APPCOMPAT + "\\Custom\\contoso.exe",
                     {{std::string(INSTALLED) + ".sdb", inventory::VALUE_QWORD, qword_bytes(1)}});
        software.key(std::string(APPCOMPAT) + "\\Layers",
                     {string_test_value("C:\\app.exe", "~ RUNASADMIN")});
        fs::create_directories(windows / "System32" / "CONFIG");
        software.write(windows / "System32" / "CONFIG" / "software");

        TestHive alice;
        alice.key(std::string(USER_APPCOMPAT) + "\\Layers",
                  {string_test_value("C:\\b.exe", "WINXPSP3")});
        alice.key(
            std::string(USER_APPCOMPAT) + "\\Compatibility Assistant\\Store",
            {{"C:\\old.exe", inventory::VALUE_BINARY, {1, 2, 3}}, {"C:\\odd.exe", 0x8900FF01, {}}});
        fs::create_directories(root / "USERS" / "Alice");
        alice.write(root / "USERS" / "Alice" / "NtUser.dat");
    }

    void TearDown() override { fs::remove_all(base); }

    inventory::Inventory inventory_of(const image_inventory::CommandLine& line,
                                      std::vector<std::string>* warnings, bool* all_read) {
        image_inventory::ImageFiles files(line.root);
        image_inventory::ImageRegistry registry;
        *all_read = image_inventory::open_hives(line, files, &registry, warnings);
        return inventory::build_inventory(registry, files);
    }

    ProgramRun run(const std::string& arguments) {
        fs::path out = base / "out.txt";
        fs::path err = base / "err.txt";
        std::string command = std::string(QUILLET_IMAGE) + " " + arguments + " >" + out.string() +
                              " 2>" + err.string();
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_text(out), read_text(err)};
    }

    // Every file and link below ROOT with its size, time and content.
    std::map<std::string, std::string> snapshot() {
        std::map<std::string, std::string> state;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
            struct stat info;
            lstat(entry.path().c_str(), &info);
            std::string facts = std::to_string(info.st_size) + ":" + std::to_string(info.st_mtime) +
                                ":" + std::to_string(info.st_mode);
            if (S_ISREG(info.st_mode)) {
                facts += ":" + read_text(entry.path());
            }
            state[entry.path().string()] = facts;
        }
        return state;
    }

    fs::path base;
    fs::path root;
};

const inventory::DatabaseRecord* database(const inventory::Inventory& inventory,
                                          const std::string& guid) {
    for (const inventory::DatabaseRecord& record : inventory.databases) {
        if (record.guid == guid) {
            return &record;
        }
    }
    return nullptr;
}

TEST_F(ImageTree, PathsOfAnyCaseAreFoundAsWindowsFindsThem) {
    image_inventory::CommandLine line;
    line.root = root.string();
    std::vector<std::string> warnings;
    bool all_read = false;
    inventory::Inventory result = inventory_of(line, &warnings, &all_read);
    EXPECT_TRUE(all_read);
    EXPECT_TRUE(warnings.empty());

    const inventory::DatabaseRecord* main = database(result, SYSMAIN_ID);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->provenance, inventory::Provenance::ClaimedMain);
    const inventory::DatabaseRecord* installed = database(result, INSTALLED);
    ASSERT_NE(installed, nullptr);
    EXPECT_EQ(installed->provenance, inventory::Provenance::Installed);
    EXPECT_EQ(installed->registrations.size(), 2u);
    EXPECT_EQ(installed->name, "Contoso");

    ASSERT_EQ(result.layers.size(), 2u);
    EXPECT_EQ(result.layers[0].layers[0].shims, (std::vector<std::string>{"A"}));
    EXPECT_EQ(result.layers[1].user, "Alice");
    EXPECT_EQ(result.layers[1].layers[0].shims, (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(result.assistant.size(), 2u);
    EXPECT_EQ(result.assistant[0].program, "C:\\old.exe");
    // A type no enumeration names comes through as it is stored.
    EXPECT_EQ(result.assistant[1].type, 0x8900FF01u);
}

TEST_F(ImageTree, EveryProfilesHiveIsReadOnceNamedBySidWithTheHostOnEveryLine) {
    auto user_hive = [&](const fs::path& path, const std::string& program) {
        TestHive hive;
        hive.key(std::string(USER_APPCOMPAT) + "\\Layers", {string_test_value(program, "X")});
        fs::create_directories(path.parent_path());
        hive.write(path);
    };
    fs::path windows = root / "wINDOWS";
    user_hive(windows / "system32" / "config" / "systemprofile" / "NTUSER.DAT", "C:\\system.exe");
    user_hive(windows / "ServiceProfiles" / "LocalService" / "ntuser.dat", "C:\\local.exe");
    user_hive(root / "Profiles" / "frank" / "NTUSER.DAT", "C:\\frank.exe");
    user_hive(root / "Documents and Settings" / "carol" / "NTUSER.DAT", "C:\\carol.exe");
    // Alice's folder again, through a link: the same file, read once.
    fs::create_symlink("../USERS/Alice", root / "Documents and Settings" / "alice");

    const std::string list = "Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
    auto profile = [&](const std::string& path) {
        return std::vector<TestValue>{
            {"ProfileImagePath", inventory::VALUE_EXPAND_STRING, utf16(path)}};
    };
    TestHive software;
    software.key(list + "S-1-5-21-1-1-1-1001", profile("%SystemDrive%\\users\\ALICE"));
    software.key(list + "S-1-5-21-1-1-1-1002", profile("C:\\Profiles\\frank"));
    software.key(list + "S-1-5-18", profile("%systemroot%\\system32\\config\\systemprofile"));
    software.key(list + "S-1-5-21-1-1-1-1003", profile("D:\\Users\\elsewhere"));
    software.write(windows / "System32" / "CONFIG" / "software");
    TestHive system;
    system.key("Select", {{"Current", inventory::VALUE_DWORD, dword_bytes(2)}});
    system.key("ControlSet001\\Control\\ComputerName\\ComputerName",
               {string_test_value("ComputerName", "OLD-NAME")});
    system.key("ControlSet002\\Control\\ComputerName\\ComputerName",
               {string_test_value("ComputerName", "WS-IMAGE")});
    system.write(windows / "System32" / "CONFIG" / "SYSTEM");

    ProgramRun listed = run("--json " + root.string());
    // The profile on another drive is named, and its hive left unread: the image's anomalies
    // beside an incomplete read.
    EXPECT_EQ(listed.exit_code, 4) << listed.err;
    EXPECT_NE(listed.err.find("D:\\Users\\elsewhere\\NTUSER.DAT: outside the image"),
              std::string::npos)
        << listed.err;
    std::istringstream lines(listed.out);
    std::string line;
    std::map<std::string, std::string> user_of_program;
    std::vector<std::string> hive_users;
    while (std::getline(lines, line)) {
        json object = json::parse(line);
        if (object["type"] == "banner") {
            continue;
        }
        EXPECT_EQ(object["host"], "WS-IMAGE") << line;
        EXPECT_TRUE(object["collected"].is_string()) << line;
        if (object["type"] == "layer") {
            EXPECT_TRUE(user_of_program.emplace(object["program"], object["user"]).second)
                << "read twice: " << line;
        } else if (object["type"] == "hive") {
            hive_users.push_back(
                object["role"].get<std::string>() + " " +
                (object["user"].is_null() ? "" : object["user"].get<std::string>()));
        }
    }
    EXPECT_EQ(user_of_program,
              (std::map<std::string, std::string>{{"C:\\b.exe", "S-1-5-21-1-1-1-1001"},
                                                  {"C:\\frank.exe", "S-1-5-21-1-1-1-1002"},
                                                  {"C:\\system.exe", "S-1-5-18"},
                                                  {"C:\\local.exe", "S-1-5-19"},
                                                  {"C:\\carol.exe", "carol"}}));
    // ProfileList in the hive's order, then the service profiles, then the other folders.
    EXPECT_EQ(hive_users, (std::vector<std::string>{
                              "software ", "system ", "user S-1-5-18", "user S-1-5-21-1-1-1-1001",
                              "user S-1-5-21-1-1-1-1002", "user S-1-5-19", "user carol"}));
}

TEST_F(ImageTree, LinksAreNeverFollowedOutOfRoot) {
    image_inventory::CommandLine line;
    line.root = root.string();
    std::vector<std::string> warnings;
    bool all_read = false;
    inventory::Inventory result = inventory_of(line, &warnings, &all_read);
    for (const char* guid : {OUTSIDE, CLIMBING}) {
        SCOPED_TRACE(guid);
        const inventory::DatabaseRecord* record = database(result, guid);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->file, FileStatus::OutsideRoot);
        EXPECT_FALSE(record->name);
        EXPECT_EQ(record->provenance, inventory::Provenance::MissingFile);
        EXPECT_NE(record->reason.find("outside the image"), std::string::npos);
    }
    // A FIFO where a database belongs is no file, and reading it does not wait for a writer.
    const inventory::DatabaseRecord* fifo = nullptr;
    for (const inventory::DatabaseRecord& record : result.databases) {
        fifo = record.path.find(FIFO) != std::string::npos ? &record : fifo;
    }
    ASSERT_NE(fifo, nullptr);
    EXPECT_EQ(fifo->file, FileStatus::NotAFile);
    EXPECT_EQ(fifo->provenance, inventory::Provenance::Unregistered);
    const inventory::DatabaseRecord* linked = database(result, LINKED);
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(linked->name, "Linked");

    fs::create_symlink(root / "wINDOWS", root / "loop");
    fs::create_symlink("loop2", root / "loop1");
    fs::create_symlink("loop1", root / "loop2");
    image_inventory::ImageFiles files(root.string());
    std::string host;
    EXPECT_EQ(files.resolve("C:\\..\\outside.sdb", &host), FileStatus::OutsideRoot);
    EXPECT_EQ(files.resolve("C:\\Windows\\..\\..\\outside.sdb", &host), FileStatus::OutsideRoot);
    EXPECT_EQ(files.resolve("c:/windows/APPPATCH/sysmain.sdb", &host), FileStatus::Ok);
    EXPECT_EQ(host, (root / "wINDOWS" / "apppatch" / "SysMain.SDB").string());
    EXPECT_EQ(files.resolve("C:\\loop1\\x", &host), FileStatus::Unreadable);
    // An absolute link back into ROOT stays inside.
    EXPECT_EQ(files.resolve("C:\\LOOP\\AppPatch\\sysmain.sdb", &host), FileStatus::Ok);
    EXPECT_EQ(files.resolve("\\\\?\\c:\\windows\\apppatch\\sysmain.sdb", &host), FileStatus::Ok);
    // A sibling of ROOT whose name begins with ROOT's is outside it; a chain of exactly 40
    // links resolves, and one more is taken for a loop. (Links made after a folder was listed
    // need a view that lists it anew.)
    write_file(base / "image-evil" / "x.sdb", database_bytes({"Evil", OUTSIDE, 0, "", {}, {}, {}}));
    fs::create_symlink(base / "image-evil" / "x.sdb", root / "evil.sdb");
    for (int chain : {40, 41}) {
        std::string name = "chain" + std::to_string(chain) + "_";
        for (int i = 0; i < chain; ++i) {
            fs::create_symlink(i + 1 == chain ? std::string("wINDOWS")
                                              : name + std::to_string(i + 1),
                               root / (name + std::to_string(i)));
        }
    }
    image_inventory::ImageFiles fresh(root.string());
    EXPECT_EQ(fresh.resolve("C:\\evil.sdb", &host), FileStatus::OutsideRoot);
    EXPECT_EQ(fresh.resolve("C:\\chain40_0\\AppPatch\\sysmain.sdb", &host), FileStatus::Ok);
    EXPECT_EQ(fresh.resolve("C:\\chain41_0\\AppPatch\\sysmain.sdb", &host), FileStatus::Unreadable);
    // The device form of the Windows drive is the image's own.
    EXPECT_EQ(fresh.resolve("\\\\.\\C:\\Windows\\AppPatch\\sysmain.sdb", &host), FileStatus::Ok);
    // Another drive or a share is not the image's volume, whatever ROOT holds at that path.
    fs::create_directories(root / "server" / "share" / "Windows");
    for (const char* elsewhere :
         {"D:\\Windows\\AppPatch\\sysmain.sdb", "\\\\server\\share\\Windows",
          "//server/share/Windows", "\\\\?\\UNC\\server\\share\\Windows",
          "\\\\?\\unc\\server\\share\\Windows", "\\\\?\\D:\\Windows"}) {
        SCOPED_TRACE(elsewhere);
        EXPECT_EQ(files.resolve(elsewhere, &host), FileStatus::OutsideRoot);
    }

    // A user's folder linked out of ROOT: its hive is not read, and a warning names it.
    fs::create_directories(base / "eve");
    fs::copy_file(root / "USERS" / "Alice" / "NtUser.dat", base / "eve" / "NTUSER.DAT");
    fs::create_symlink(base / "eve", root / "USERS" / "eve");
    warnings.clear();
    result = inventory_of(line, &warnings, &all_read);
    EXPECT_FALSE(all_read);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("eve"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("outside the image"), std::string::npos) << warnings[0];
    EXPECT_EQ(result.layers.size(), 2u);
}

TEST_F(ImageTree, DirtyAndDamagedHivesAreReadAsFarAsTheyGoWithAWarningNamingThem) {
    TestHive bob;
    bob.key(std::string(USER_APPCOMPAT) + "\\Layers", {string_test_value("C:\\bob.exe", "X")});
    fs::path bob_hive = root / "USERS" / "bob" / "NTUSER.DAT";
    fs::create_directories(bob_hive.parent_path());
    bob.write(bob_hive);
    {
        std::fstream file(bob_hive, std::ios::in | std::ios::out | std::ios::binary);
        // As Windows leaves it: the primary sequence number ahead, the checksum right.
        std::string block(image_inventory::REGF_BASE_BLOCK, '\0');
        file.read(&block[0], static_cast<std::streamsize>(block.size()));
        block[image_inventory::REGF_PRIMARY_SEQUENCE] = '\x7f';
        uint32_t sum =
            image_inventory::regf_checksum(reinterpret_cast<const uint8_t*>(block.data()));
        for (size_t i = 0; i < 4; ++i) {
            block[image_inventory::REGF_CHECKSUM + i] = static_cast<char>(sum >> (8 * i));
        }
        file.seekp(0);
        file.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    // Carol's hive spans several bins and lost the end of its last ones; Dave's is cut
    // inside its first bin.
    TestHive carol;
    carol.key(std::string(USER_APPCOMPAT) + "\\Layers", {string_test_value("C:\\carol.exe", "X")});
    for (int i = 0; i < 300; ++i) {
        carol.key("Filler\\key" + std::to_string(i),
                  {string_test_value("v", std::string(40, 'f'))});
    }
    fs::path carol_hive = root / "USERS" / "carol" / "ntuser.dat";
    fs::create_directories(carol_hive.parent_path());
    carol.write(carol_hive);
    std::string whole = read_text(carol_hive);
    ASSERT_GT(whole.size(), 4 * image_inventory::REGF_BASE_BLOCK);
    std::ofstream(carol_hive, std::ios::binary | std::ios::trunc)
        << whole.substr(0, whole.size() - image_inventory::REGF_BASE_BLOCK - 100);
    fs::path dave_hive = root / "USERS" / "dave" / "NTUSER.DAT";
    fs::create_directories(dave_hive.parent_path());
    std::ofstream(dave_hive, std::ios::binary)
        << whole.substr(0, image_inventory::REGF_BASE_BLOCK + 100);

    image_inventory::CommandLine line;
    line.root = root.string();
    std::vector<std::string> warnings;
    bool all_read = false;
    inventory::Inventory result = inventory_of(line, &warnings, &all_read);
    auto warned = [&](const fs::path& hive, const std::string& word) {
        for (const std::string& warning : warnings) {
            if (warning.find(hive.filename().string()) != std::string::npos &&
                warning.find(hive.parent_path().filename().string()) != std::string::npos &&
                warning.find(word) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(warned(bob_hive, "dirty")) << ::testing::PrintToString(warnings);
    EXPECT_TRUE(warned(carol_hive, "damaged")) << ::testing::PrintToString(warnings);
    EXPECT_TRUE(warned(dave_hive, "not a readable hive"));
    EXPECT_FALSE(all_read);
    std::vector<std::string> programs;
    for (const inventory::StoredLayer& layer : result.layers) {
        programs.push_back(layer.program);
    }
    EXPECT_EQ(programs, (std::vector<std::string>{"C:\\app.exe", "C:\\b.exe", "C:\\bob.exe",
                                                  "C:\\carol.exe"}));
    // The other hives are still read.
    EXPECT_NE(database(result, INSTALLED), nullptr);
}

TEST_F(ImageTree, ProgramStreamsExitCodesAndNoWrite) {
    std::map<std::string, std::string> before = snapshot();

    ProgramRun help = run("--help");
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.out.rfind("Usage: quillet-image", 0), 0u);
    EXPECT_TRUE(help.err.empty());
    // --version alone, or before what would otherwise be a usage error: one line, status 0.
    for (const char* asked : {"--version", "--version --json"}) {
        ProgramRun version = run(asked);
        EXPECT_EQ(version.exit_code, 0);
        EXPECT_EQ(version.out.rfind(std::string("quillet-image ") + QUILLET_PROJECT_VERSION, 0), 0u)
            << version.out;
        EXPECT_EQ(std::count(version.out.begin(), version.out.end(), '\n'), 1);
        EXPECT_TRUE(version.err.empty());
    }
    for (const char* bad : {"", "--frobnicate x", "a b", "--ntuser", "--software a --software b"}) {
        SCOPED_TRACE(bad);
        ProgramRun usage = run(bad);
        EXPECT_EQ(usage.exit_code, 2);
        EXPECT_TRUE(usage.out.empty());
        EXPECT_NE(usage.err.find("Usage: quillet-image"), std::string::npos);
    }
    ProgramRun absent = run((base / "no-such-image").string());
    EXPECT_EQ(absent.exit_code, 1);
    EXPECT_TRUE(absent.out.empty());

    // The links out of ROOT are anomalies: exit code 3.
    ProgramRun json_run = run("--json " + root.string());
    EXPECT_EQ(json_run.exit_code, 3);
    std::istringstream lines(json_run.out);
    std::string line;
    std::vector<json> objects;
    while (std::getline(lines, line)) {
        objects.push_back(json::parse(line));
    }
    ASSERT_FALSE(objects.empty());
    EXPECT_EQ(objects[0]["type"], "banner");
    EXPECT_EQ(objects[0]["program"], "quillet-image");
    EXPECT_EQ(objects[0]["schema"], 1);
    EXPECT_EQ(objects[0]["build"], 19045);
    EXPECT_EQ(objects[0]["text"], "Image " + root.string() + " (Windows 10.0.19045)");
    ProgramRun text_run = run(root.string());
    EXPECT_EQ(text_run.exit_code, 3);
    EXPECT_EQ(text_run.out.rfind("Image " + root.string() + " (Windows 10.0.19045)\n", 0), 0u);
    EXPECT_NE(text_run.out.find("Database " + std::string(OUTSIDE) + ": missing-file\n"),
              std::string::npos);

    // A SOFTWARE hive alone: the files cannot be checked, which is no anomaly.
    fs::path hive = root / "wINDOWS" / "System32" / "CONFIG" / "software";
    ProgramRun alone = run("--software " + hive.string());
    EXPECT_EQ(alone.exit_code, 0) << alone.out << alone.err;
    EXPECT_NE(alone.out.find("Database " + std::string(INSTALLED) + ": installed\n"),
              std::string::npos);
    EXPECT_NE(alone.out.find("(not available (no file system given))"), std::string::npos);

    // User hives alone: their layers, named by the file.
    fs::path user_hive = root / "USERS" / "Alice" / "NtUser.dat";
    ProgramRun users = run("--json --ntuser " + user_hive.string() + " --ntuser " +
                           (base / "absent.dat").string());
    EXPECT_EQ(users.exit_code, 1);
    EXPECT_EQ(users.err, "quillet-image: " + (base / "absent.dat").string() +
                             ": cannot be opened (No such file or directory)\n");
    std::istringstream user_lines(users.out);
    std::vector<json> user_objects;
    while (std::getline(user_lines, line)) {
        user_objects.push_back(json::parse(line));
    }
    // The banner, the summary, the hive, a layer, two assistant records and the warning.
    ASSERT_EQ(user_objects.size(), 7u);
    EXPECT_EQ(user_objects[6]["type"], "warning");
    EXPECT_EQ(user_objects[6]["text"],
              (base / "absent.dat").string() + ": cannot be opened (No such file or directory)");
    EXPECT_EQ(user_objects[6]["collected"], user_objects[1]["collected"]);
    EXPECT_EQ(user_objects[0]["image"], nullptr);
    EXPECT_EQ(user_objects[1]["type"], "inventorySummary");
    EXPECT_EQ(user_objects[1]["warnings"], 1);
    EXPECT_EQ(user_objects[1]["complete"], false);
    EXPECT_EQ(user_objects[2]["type"], "hive");
    EXPECT_EQ(user_objects[2]["state"], "clean");
    EXPECT_EQ(user_objects[3]["type"], "layer");
    EXPECT_EQ(user_objects[3]["user"], user_hive.string());
    EXPECT_EQ(user_objects[3]["program"], "C:\\b.exe");

    EXPECT_EQ(snapshot(), before);
}

// Replaces every occurrence of from in the file by to, of the same length.
void patch_file(const fs::path& path, const std::string& from, const std::string& to) {
    std::string bytes = read_text(path);
    size_t count = 0;
    for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + 1)) {
        bytes.replace(at, to.size(), to);
        ++count;
    }
    ASSERT_GT(count, 0u) << "nothing to patch in " << path;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Keys padded past libhivex's limit of 110,000 values are read whole, a name that is not valid
// UTF-16 is read with U+FFFD, and each gives a warning naming the key and the exit code.
TEST_F(ImageTree, KeysPastTheReadersLimitAndNamesItCannotConvertAreReadAndWarned) {
    const std::string padded = "{abababab-0000-0000-0000-000000000009}";
    const size_t past_limit = 110001;
    std::vector<TestValue> padding = {{"pad", inventory::VALUE_DWORD, dword_bytes(1)}};
    std::vector<TestValue> installed = padding;
    installed.push_back(string_test_value("DatabasePath", "C:\\Windows\\AppPatch\\Custom\\" +
                                                              std::string(INSTALLED) + ".sdb"));
    std::vector<TestValue> layers = padding;
    layers.push_back(string_test_value("C:\\padded.exe", "WINXPSP3"));
    // U+0100 stands where the tests then write a lone surrogate, which libhivex cannot write.
    layers.push_back(string_test_value("C:\\\xc4\x80.exe", "HIGHDPIAWARE"));
    TestHive software;
    software.key(std::string(APPCOMPAT) + "\\InstalledSDB\\" + padded, installed);
    software.key(std::string(APPCOMPAT) + "\\Layers", layers);
    software.key(std::string(APPCOMPAT) + "\\Custom\\bad\xc4\x80.exe",
                 {{std::string(INSTALLED) + ".sdb", inventory::VALUE_QWORD, qword_bytes(1)}});
    fs::path hive = root / "wINDOWS" / "System32" / "CONFIG" / "software";
    software.write(hive);
    TestHive::pad_values(hive.string(), std::string(APPCOMPAT) + "\\InstalledSDB\\" + padded,
                         past_limit);
    TestHive::pad_values(hive.string(), std::string(APPCOMPAT) + "\\Layers", past_limit);
    patch_file(hive, std::string("\\\0\0\1.\0", 6), std::string("\\\0\0\xd8.\0", 6));
    patch_file(hive, std::string("d\0\0\1.\0", 6), std::string("d\0\0\xd8.\0", 6));
    TestHive alice;
    std::vector<TestValue> alice_layers = padding;
    alice_layers.push_back(string_test_value("C:\\alice.exe", "WINXPSP3"));
    alice.key(std::string(USER_APPCOMPAT) + "\\Layers", alice_layers);
    alice.write(root / "USERS" / "Alice" / "NtUser.dat");
    TestHive::pad_values((root / "USERS" / "Alice" / "NtUser.dat").string(),
                         std::string(USER_APPCOMPAT) + "\\Layers", past_limit);
    write_file(root / "wINDOWS" / "apppatch" / "AppPatch64" / "sysmain.sdb",
               database_bytes({"Microsoft Windows Application Compatibility Fix Database",
                               SYSMAIN_ID,
                               0,
                               "",
                               {"D"},
                               {{"HIGHDPIAWARE", {"D"}}},
                               {}}));

    image_inventory::CommandLine line;
    line.root = root.string();
    std::vector<std::string> warnings;
    bool all_read = false;
    inventory::Inventory result = inventory_of(line, &warnings, &all_read);
    const inventory::DatabaseRecord* record = database(result, padded);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->file, FileStatus::Ok);
    EXPECT_EQ(record->name, "Contoso");
    // Every value is read, the padding too (a DWORD where a layer string belongs).
    std::vector<const inventory::StoredLayer*> stored;
    for (const inventory::StoredLayer& layer : result.layers) {
        if (layer.program != "pad") {
            stored.push_back(&layer);
        }
    }
    EXPECT_EQ(result.layers.size(), 3 + 2 * (past_limit + 1));
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0]->program, "C:\\padded.exe");
    EXPECT_EQ(stored[1]->program, "C:\\\xef\xbf\xbd.exe");
    EXPECT_EQ(stored[2]->program, "C:\\alice.exe");
    EXPECT_EQ(stored[1]->layers.at(0).database, "C:\\Windows\\AppPatch\\AppPatch64\\sysmain.sdb");
    bool program_read = false;
    for (const inventory::Registration& registration : result.registrations) {
        program_read = program_read || registration.program == "bad\xef\xbf\xbd.exe";
    }
    EXPECT_TRUE(program_read);
    const std::string machine = "HKLM\\SOFTWARE\\" + std::string(APPCOMPAT);
    EXPECT_EQ(result.warnings,
              (std::vector<std::string>{
                  machine + "\\Custom: the subkey \"bad\xef\xbf\xbd.exe\" has a name that is not "
                            "valid UTF-16; read with U+FFFD in its place",
                  machine + "\\Layers: the value \"C:\\\xef\xbf\xbd.exe\" has a name that is not "
                            "valid UTF-16; read with U+FFFD in its place"}));

    ProgramRun run_json = run("--json " + root.string());
    EXPECT_EQ(run_json.exit_code, 4) << "an alarm beside an incomplete read";
    EXPECT_NE(run_json.out.find("{\"type\":\"warning\""), std::string::npos);
    EXPECT_NE(run_json.out.find(",\"text\":\"" + std::string("HKLM")), std::string::npos);
}

// A key of more subkeys than libhivex lists (70,000) is read from its cells, through the "ri"
// index of "lf" lists Windows writes for it: the profile that ProfileList alone names is read.
// A ProfileList that cannot be read is a warning, not a profile quietly missed.
TEST_F(ImageTree, KeysPastTheReadersLimitOfSubkeysAreReadAndProfileListIsNeverSkippedQuietly) {
    TestHive frank;
    frank.key(std::string(USER_APPCOMPAT) + "\\Layers",
              {string_test_value("C:\\frank.exe", "WINXPSP3")});
    fs::create_directories(root / "Profiles" / "frank");
    frank.write(root / "Profiles" / "frank" / "NTUSER.DAT");
    const std::string list = "Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
    TestHive software;
    software.key(list + "\\S-1-5-21-1-1-1-1002",
                 {{"ProfileImagePath", inventory::VALUE_EXPAND_STRING,
                   utf16("%SystemDrive%\\Profiles\\frank")}});
    software.key(list + "\\S-1-5-21-1-1-1-1003",
                 {{"ProfileImagePath", inventory::VALUE_DWORD, dword_bytes(1)}});
    fs::path hive = root / "wINDOWS" / "System32" / "CONFIG" / "software";
    software.write(hive);
    TestHive::pad_subkeys(hive.string(), list, 70001);

    image_inventory::CommandLine line;
    line.root = root.string();
    std::vector<std::string> warnings;
    bool all_read = false;
    inventory::Inventory result = inventory_of(line, &warnings, &all_read);
    bool frank_read = false;
    for (const inventory::StoredLayer& layer : result.layers) {
        frank_read =
            frank_read || (layer.program == "C:\\frank.exe" && layer.user == "S-1-5-21-1-1-1-1002");
    }
    EXPECT_TRUE(frank_read);
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "HKLM\\SOFTWARE\\" + list +
                            "\\S-1-5-21-1-1-1-1003: ProfileImagePath: a REG_DWORD where a "
                            "string belongs"}));

    // A list whose count the lists do not hold is not trusted: said, and nothing listed.
    std::string bytes = read_text(hive);
    // The index is the last cell written.
    size_t index = bytes.rfind(std::string("ri", 2));
    ASSERT_NE(index, std::string::npos);
    bytes[index + 2] = 1; // one leaf list of 50,000 where 70,003 subkeys are counted
    bytes[index + 3] = 0;
    std::ofstream(hive, std::ios::binary | std::ios::trunc) << bytes;
    warnings.clear();
    result = inventory_of(line, &warnings, &all_read);
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ(warnings[0], "HKLM\\SOFTWARE\\" + list +
                               ": more subkeys than libhivex reads, and their list cannot be "
                               "read from the hive; none listed");
}

TEST_F(ImageTree, ACustomFolderThatIsAFileIsWarnedOf) {
    fs::path custom = root / "wINDOWS" / "apppatch" / "CUSTOM";
    fs::remove_all(custom);
    write_file(custom, {'x'});
    image_inventory::ImageFiles files(root.string());
    image_inventory::ImageRegistry registry;
    inventory::Inventory result = inventory::build_inventory(registry, files);
    EXPECT_EQ(result.warnings,
              std::vector<std::string>{"C:\\Windows\\AppPatch\\Custom: not a file"});
    ProgramRun text = run(root.string());
    // The fixture's links out of the image are anomalies besides.
    EXPECT_EQ(text.exit_code, 4) << text.err;
    EXPECT_NE(text.err.find("C:\\Windows\\AppPatch\\Custom: not a file"), std::string::npos);
}

} // namespace
