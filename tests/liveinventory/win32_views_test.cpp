// The running system's registry and file-system views on planted values and files: the two
// registry views of a 64-bit system, values as stored whatever their type or size, long paths
// and WoW64 file-system redirection; signatures as the OS verifies them; and the layers read
// through the shim engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../../common/utf8_text.h"
#include "../../common/wow64.h"
#include "../../liveinventory/engine_layers.h"
#include "../../liveinventory/file_signature.h"
#include "../../liveinventory/win32_file_view.h"
#include "../../liveinventory/win32_registry_view.h"
#include "../../shimreport/apphelp_api.h"
#include "planted_state.h"

using inventory::FileStatus;
using inventory::Hive;
using inventory::KeyPath;
using inventory::KeyStatus;
using inventory::RegistryValue;

namespace {

const wchar_t* const TestKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\QuilletViewTest";
const char* const TestPath =
    "Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\QuilletViewTest";

const RegistryValue* Named(const std::vector<RegistryValue>& values, const std::string& name) {
    for (const RegistryValue& value : values) {
        if (value.name == name) {
            return &value;
        }
    }
    return NULL;
}

std::vector<BYTE> Bytes(const char* text, size_t size) {
    return std::vector<BYTE>(text, text + size);
}

TEST(Win32RegistryView, EachMachineViewSeesOnlyItsOwnKeysAndValuesComeAsStored) {
    // Unterminated UTF-16 text, a DWORD where a string belongs, and a non-ASCII name.
    const PlantedValue unterminated(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, TestKey, L"Path", REG_SZ,
                                    Bytes("C\0:\0\\\0X\0", 8), 6);
    const PlantedValue wrongType(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, TestKey, L"Description",
                                 REG_DWORD, DwordData(0x2A));
    const PlantedValue accented(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, TestKey, L"caf\u00e9",
                                REG_BINARY, std::vector<BYTE>());
    const PlantedValue only32(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, TestKey, L"Only32", REG_QWORD,
                              QwordData(5));
    ASSERT_TRUE(unterminated.Written() && wrongType.Written() && accented.Written() &&
                only32.Written());

    const Win32RegistryView view;
    std::vector<RegistryValue> native;
    ASSERT_EQ(KeyStatus::Present, view.values(KeyPath{Hive::Machine, 0, TestPath}, &native));
    ASSERT_NE(nullptr, Named(native, "Path"));
    EXPECT_EQ(1u, Named(native, "Path")->type);
    EXPECT_EQ(Bytes("C\0:\0\\\0", 6), Named(native, "Path")->data) << "no terminator is added";
    EXPECT_EQ(4u, Named(native, "Description")->type);
    EXPECT_EQ(DwordData(0x2A), Named(native, "Description")->data);
    EXPECT_NE(nullptr, Named(native, "caf\xc3\xa9")) << "names are UTF-8";
    EXPECT_EQ(nullptr, Named(native, "Only32"));

    std::vector<RegistryValue> wow;
    const KeyStatus wowStatus = view.values(KeyPath{Hive::Machine32, 0, TestPath}, &wow);
    if (!SystemIs64Bit()) {
        EXPECT_EQ(KeyStatus::Missing, wowStatus) << "a 32-bit system has no second view";
        return;
    }
    ASSERT_EQ(KeyStatus::Present, wowStatus);
    ASSERT_EQ(1u, wow.size());
    EXPECT_EQ("Only32", wow[0].name);
    EXPECT_EQ(QwordData(5), wow[0].data);

    std::vector<std::string> subkeys;
    EXPECT_EQ(KeyStatus::Missing,
              view.subkeys(KeyPath{Hive::Machine, 0, std::string(TestPath) + "\\none"}, &subkeys));
    EXPECT_EQ(KeyStatus::Missing,
              view.values(KeyPath{Hive::Machine, 0, std::string(TestPath) + std::string(1, '\0')},
                          &native));
}

TEST(Win32RegistryView, AGiantValueComesWithoutItsDataAndTheRestOfTheKeyStillComes) {
    const std::vector<BYTE> giant(Win32RegistryView::MaximumValueBytes + 2, 'x');
    const PlantedValue big(HKEY_CURRENT_USER, KEY_WOW64_64KEY, TestKey, L"Giant", REG_SZ, giant);
    const PlantedValue small(HKEY_CURRENT_USER, KEY_WOW64_64KEY, TestKey, L"Small", REG_SZ,
                             StringData(L"RunAsAdmin"));
    ASSERT_TRUE(big.Written() && small.Written());

    const Win32RegistryView view;
    const std::vector<inventory::UserHive> users = view.users();
    ASSERT_FALSE(users.empty());
    EXPECT_EQ("HKEY_CURRENT_USER", users[0].source);
    for (size_t i = 1; i < users.size(); ++i) {
        EXPECT_NE(users[0].name, users[i].name) << "the current user comes once";
        EXPECT_EQ(std::string::npos, users[i].name.find("_Classes"));
        EXPECT_EQ("HKEY_USERS\\" + users[i].name, users[i].source);
    }
    std::vector<RegistryValue> values;
    const std::string userPath = "Software\\Microsoft\\Windows NT\\CurrentVersion\\"
                                 "AppCompatFlags\\QuilletViewTest";
    ASSERT_EQ(KeyStatus::Present, view.values(KeyPath{Hive::User, 0, userPath}, &values));
    ASSERT_NE(nullptr, Named(values, "Giant"));
    EXPECT_EQ(1u, Named(values, "Giant")->type);
    EXPECT_TRUE(Named(values, "Giant")->data.empty());
    ASSERT_NE(nullptr, Named(values, "Small"));
    EXPECT_EQ(StringData(L"RunAsAdmin"), Named(values, "Small")->data);
    EXPECT_EQ(KeyStatus::Missing, view.values(KeyPath{Hive::User, 99, userPath}, &values));
}

const char* const UserLayersPath =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

// Stands in for the private load, which Wine does not do: the root of a key in the current
// user's hive, as RegLoadAppKeyW gives the loaded hive's root.
std::wstring LoadedFile;
LONG LoadPlantedHive(const wchar_t* file, HKEY* key) {
    LoadedFile = file;
    return RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\QuilletProfileHive", 0, KEY_READ, key);
}

struct HiveLoader {
    explicit HiveLoader(UserHiveLoaderFn loader) : saved(LoadUserHiveFile) {
        LoadUserHiveFile = loader;
    }
    ~HiveLoader() { LoadUserHiveFile = saved; }
    UserHiveLoaderFn saved;
};

size_t UserNamed(const std::vector<inventory::UserHive>& users, const std::string& name) {
    size_t found = users.size();
    for (size_t i = 0; i < users.size(); ++i) {
        if (users[i].name == name) {
            EXPECT_EQ(users.size(), found) << name << " is listed once";
            found = i;
        }
    }
    return found;
}

// A profile whose hive is not loaded is read from its NTUSER.DAT; one whose hive cannot be
// loaded is listed, unreadable, and its first key read says why.
TEST(Win32RegistryView, ProfilesWhoseHivesAreNotLoadedAreReadFromTheirFiles) {
    const std::wstring profiles = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"QuilletProfile";
    const PlantedFolder profileFolder(folder);
    const PlantedFile hiveFile(folder + L"\\NTUSER.DAT", {'r', 'e', 'g', 'f'});
    const PlantedValue away(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, profiles + L"S-1-5-21-7-7-7-1001",
                            L"ProfileImagePath", REG_EXPAND_SZ,
                            StringData(L"%TEMP%\\QuilletProfile"));
    const PlantedValue gone(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, profiles + L"S-1-5-21-7-7-7-1002",
                            L"ProfileImagePath", REG_SZ, StringData(L"C:\\NoSuchQuilletProfile"));
    const PlantedValue layer(HKEY_CURRENT_USER, KEY_WOW64_64KEY,
                             L"Software\\QuilletProfileHive\\" + WideFromUtf8(UserLayersPath),
                             L"C:\\app.exe", REG_SZ, StringData(L"~ RUNASADMIN"));
    ASSERT_TRUE(hiveFile.Written() && away.Written() && gone.Written() && layer.Written());
    wchar_t expanded[MAX_PATH];
    ASSERT_NE(0u,
              ExpandEnvironmentStringsW(L"%TEMP%\\QuilletProfile\\NTUSER.DAT", expanded, MAX_PATH));

    std::vector<RegistryValue> values;
    std::vector<std::string> problems;
    {
        const HiveLoader loader(LoadPlantedHive);
        const Win32RegistryView view;
        const std::vector<inventory::UserHive> users = view.users();
        const size_t loaded = UserNamed(users, "S-1-5-21-7-7-7-1001");
        ASSERT_LT(loaded, users.size());
        EXPECT_EQ(Utf8(expanded), users[loaded].source);
        EXPECT_EQ(std::wstring(expanded), LoadedFile);
        ASSERT_EQ(KeyStatus::Present,
                  view.values(KeyPath{Hive::User, loaded, UserLayersPath}, &values, &problems));
        ASSERT_NE(nullptr, Named(values, "C:\\app.exe"));
        EXPECT_TRUE(problems.empty());

        const size_t missing = UserNamed(users, "S-1-5-21-7-7-7-1002");
        ASSERT_LT(missing, users.size());
        EXPECT_EQ(KeyStatus::Unreadable,
                  view.values(KeyPath{Hive::User, missing, UserLayersPath}, &values, &problems));
        ASSERT_EQ(1u, problems.size());
        EXPECT_NE(std::string::npos, problems[0].find("C:\\NoSuchQuilletProfile\\NTUSER.DAT"));
        EXPECT_NE(std::string::npos, problems[0].find("cannot be found"));
        problems.clear();
        EXPECT_EQ(KeyStatus::Unreadable,
                  view.subkeys(KeyPath{Hive::User, missing, ""}, &problems, &problems));
        EXPECT_TRUE(problems.empty()) << "the reason is given once";
        EXPECT_EQ(0u, UserNamed(users, users[0].name)) << "ProfileList names the current user too";
    }
    // The system's own loader: Wine's gives a handle that reads nothing, Windows refuses a file
    // that is no hive; either way the profile is unreadable and says so.
    const Win32RegistryView view;
    const std::vector<inventory::UserHive> users = view.users();
    const size_t refused = UserNamed(users, "S-1-5-21-7-7-7-1001");
    ASSERT_LT(refused, users.size());
    problems.clear();
    EXPECT_EQ(KeyStatus::Unreadable,
              view.values(KeyPath{Hive::User, refused, UserLayersPath}, &values, &problems));
    ASSERT_EQ(1u, problems.size());
    EXPECT_NE(std::string::npos, problems[0].find("could not be loaded"));
}

// The machine type of a PE image's file header.
WORD MachineOf(const std::vector<uint8_t>& image) {
    LONG header = 0;
    WORD machine = 0;
    if (image.size() < 0x40) {
        return 0;
    }
    std::memcpy(&header, &image[0x3C], sizeof header);
    if (header < 0 || static_cast<size_t>(header) + 6 > image.size()) {
        return 0;
    }
    std::memcpy(&machine, &image[static_cast<size_t>(header) + 4], sizeof machine);
    return machine;
}

TEST(Win32FileView, SeesTheRealSystemFolderListsFoldersAndReadsLongPaths) {
    const Win32FileView files;
    const std::string windows = files.windows_directory();
    EXPECT_EQ(Utf8(WindowsFolder()), windows);

    // The 32-bit build must see the 64-bit engine in System32, not the one of SysWOW64.
    std::vector<uint8_t> engine;
    ASSERT_EQ(FileStatus::Ok, files.read_file(windows + "\\system32\\apphelp.dll", &engine));
    EXPECT_EQ(SystemIs64Bit() ? 0x8664 : 0x14C, MachineOf(engine));

    std::vector<inventory::DirectoryEntry> entries;
    ASSERT_EQ(FileStatus::Ok, files.list_directory(windows + "\\AppPatch", &entries));
    bool sysmain = false, custom = false;
    for (const inventory::DirectoryEntry& entry : entries) {
        sysmain = sysmain || (entry.name == "sysmain.sdb" && !entry.directory);
        custom = custom || (entry.name == "Custom" && entry.directory);
        EXPECT_TRUE(entry.name != "." && entry.name != "..");
    }
    EXPECT_TRUE(sysmain && custom);
    EXPECT_EQ(FileStatus::NotAFile,
              files.list_directory(windows + "\\AppPatch\\sysmain.sdb", &entries));
    EXPECT_EQ(FileStatus::NotAFile, files.file_status(windows + "\\AppPatch"));
    EXPECT_EQ(FileStatus::Missing, files.file_status(windows + "\\AppPatch\\none.sdb"));
    EXPECT_EQ(FileStatus::Missing, files.list_directory(windows + "\\none", &entries));
    EXPECT_EQ(FileStatus::Missing,
              files.file_status(windows + "\\AppPatch\\sysmain.sdb" + std::string(1, '\0')));
    // Neither a server nor a device is ever contacted for a path from the registry.
    const char* const remote[] = {"\\\\server\\share\\x.sdb", "\\\\?\\UNC\\server\\share\\x.sdb",
                                  "\\\\.\\COM1", "AppPatch\\sysmain.sdb"};
    for (const char* path : remote) {
        std::vector<uint8_t> read;
        EXPECT_EQ(FileStatus::Unreadable, files.read_file(path, &read)) << path;
        EXPECT_EQ(FileStatus::Unreadable, files.list_directory(path, &entries)) << path;
    }

    // A file whose full path is longer than MAX_PATH.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(L"\\\\?\\") + temp + L"quillet-long";
    std::vector<std::unique_ptr<PlantedFolder>> folders;
    folders.push_back(std::unique_ptr<PlantedFolder>(new PlantedFolder(folder)));
    while (folder.size() < MAX_PATH + 20) {
        folder += L"\\" + std::wstring(40, L'd');
        folders.push_back(std::unique_ptr<PlantedFolder>(new PlantedFolder(folder)));
    }
    const std::vector<uint8_t> bytes = {1, 2, 3};
    {
        const PlantedFile deep(folder + L"\\deep.sdb", bytes);
        ASSERT_TRUE(deep.Written());
        const std::string plain = Utf8(folder.substr(4) + L"\\deep.sdb");
        std::vector<uint8_t> read;
        EXPECT_EQ(FileStatus::Ok, files.read_file(plain, &read));
        EXPECT_EQ(bytes, read);
        EXPECT_EQ(FileStatus::Ok, files.file_status(plain));
    }
    while (!folders.empty()) {
        folders.pop_back();
    }
}

// An engine that cannot be loaded, for the duration of a test.
class NoEngine {
public:
    NoEngine() : loader_(LoadApphelpLibrary) {
        LoadApphelpLibrary = &Nothing;
        ApphelpApi = ApphelpApiTable();
    }
    ~NoEngine() {
        LoadApphelpLibrary = loader_;
        ApphelpApi = ApphelpApiTable();
    }

private:
    static HMODULE Nothing() { return NULL; }
    ApphelpLoaderFn loader_;
};

TEST(FileSignature, OnlyATrustedSignatureOfMicrosoftIsVerifiedAndWineVerifiesNone) {
    struct Case {
        LONG trust;
        const wchar_t* signer;
        sdb::SignatureState state;
        const char* detail;
    };
    for (const Case& c : {
             Case{ERROR_SUCCESS, L"Microsoft Windows", sdb::SignatureState::Verified, "catalog"},
             Case{ERROR_SUCCESS, L"Contoso Ltd", sdb::SignatureState::NotVerified,
                  "trusted, but not signed by Microsoft"},
             Case{ERROR_SUCCESS, L"", sdb::SignatureState::NotVerified,
                  "trusted, but not signed by Microsoft"},
             Case{TRUST_E_NOSIGNATURE, L"", sdb::SignatureState::NotVerified,
                  "unsigned: no embedded signature and no catalog lists it"},
             Case{static_cast<LONG>(TRUST_E_BAD_DIGEST), L"Microsoft Windows",
                  sdb::SignatureState::NotVerified, "untrusted (0x80096010)"},
         }) {
        const sdb::SignatureVerdict verdict = SignatureVerdictOf(c.trust, c.signer, "catalog");
        EXPECT_EQ(c.state, verdict.state) << Utf8(c.signer);
        EXPECT_EQ(std::string(c.detail), verdict.detail) << Utf8(c.signer);
    }
    // Wine ships no catalogs and signs nothing: its sysmain.sdb, or any file, never reads
    // as verified, and the view says why.
    Win32FileView files;
    for (const std::string& path : {files.windows_directory() + "\\AppPatch\\sysmain.sdb",
                                    files.windows_directory() + "\\system32\\kernel32.dll",
                                    files.windows_directory() + "\\no-such-file.sdb",
                                    std::string("\\\\server\\share\\x.sdb")}) {
        const sdb::SignatureVerdict verdict = files.verify_signature(path);
        EXPECT_EQ(sdb::SignatureState::NotVerified, verdict.state) << path;
        EXPECT_FALSE(verdict.detail.empty()) << path;
    }
}

TEST(EngineLayers, LayersAreReadThroughTheEngineAndNotFoundWithoutIt) {
    const std::string sysmain = Utf8(WindowsFolder()) + "\\AppPatch\\sysmain.sdb";
    std::vector<EngineLayer> layers;
    ASSERT_TRUE(ReadEngineLayers(WideFromUtf8(sysmain), layers));
    ASSERT_EQ(6u, layers.size());
    EXPECT_EQ("WinXPSp3", layers[0].name);
    EXPECT_EQ((std::vector<std::string>{"VersionLieXPSp3", "RedirectProgramFolderWrites"}),
              layers[0].shims);
    EXPECT_FALSE(ReadEngineLayers(L"C:\\no\\such.sdb", layers));
    EXPECT_TRUE(layers.empty()) << "a failed read leaves nothing";

    inventory::Inventory found;
    found.layers.resize(1);
    found.layers[0].layers.resize(3);
    found.layers[0].layers[0].name = "winxpsp3";
    found.layers[0].layers[1].name = "NoSuchLayer";
    found.layers[0].layers[1].found = true; // a main database's stale answer is replaced
    found.layers[0].layers[1].main = true;
    found.layers[0].layers[2].name = "CustomOnly";
    found.layers[0].layers[2].found = true; // a registered database's answer is kept
    found.layers[0].layers[2].database = "C:\\Windows\\AppPatch\\Custom\\x.sdb";
    ExpandStoredLayers({"C:\\no\\such.sdb", sysmain}, found);
    const inventory::LayerExpansion& first = found.layers[0].layers[0];
    EXPECT_TRUE(first.found) << "names compare without regard to case";
    EXPECT_EQ(sysmain, first.database);
    EXPECT_FALSE(found.layers[0].layers[1].found);
    EXPECT_TRUE(found.layers[0].layers[2].found);
    EXPECT_EQ("C:\\Windows\\AppPatch\\Custom\\x.sdb", found.layers[0].layers[2].database);
    ASSERT_EQ(1u, found.warnings.size());
    EXPECT_NE(std::string::npos, found.warnings[0].find("C:\\no\\such.sdb"));

    const NoEngine missing;
    ExpandStoredLayers({sysmain}, found);
    EXPECT_FALSE(found.layers[0].layers[0].found);
    EXPECT_TRUE(found.layers[0].layers[0].shims.empty());
}

} // namespace
