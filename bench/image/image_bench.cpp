// Benchmark: quillet-image's inventory of large images.
//
// A large image: a 100 MB SOFTWARE hive (the registrations among
// 120,000 other keys, small ones as in a real hive), 20 user hives with stored layers and the
// assistant's records, 50 registered custom databases and a 20,000-entry main database. Timed
// against opening the same hives and reading and opening the same databases alone. Beside it,
// an image of 8,000 registrations under one key, and one of 800 users and 800 registered
// databases, each timed whole. The images are built once under $TMPDIR (or /tmp) and kept for
// later runs; `image_bench --image-only` just builds them and prints their paths, for timing
// the program itself.
#include "image_files.h"
#include "image_hives.h"
#include "inventory.h"
#include "inventory_output.h"
#include "test_database.h"
#include "test_hive.h"

#include "sdb_reader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const char* const APPCOMPAT = "Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags";
const char* const USER_APPCOMPAT =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags";
const int FILLER_KEYS = 120000;
const size_t FILLER_BYTES = 200;
const int USERS = 20;
const int CUSTOM_DATABASES = 50;
const int MAIN_EXES = 20000;

std::string guid_of(int i) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-0000-4000-8000-%012x}", 0xabc00000u + i, i);
    return text;
}

void write_file(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TestValue text_value(const std::string& name, const std::string& text) {
    return {name, inventory::VALUE_STRING, utf16(text)};
}

void build_image(const fs::path& root) {
    fs::path windows = root / "Windows";
    TestDatabase main{"Microsoft Windows Application Compatibility Fix Database",
                      "{11111111-1111-1111-1111-111111111111}",
                      1,
                      "3.0.0.9",
                      {},
                      {},
                      {}};
    for (int i = 0; i < 300; ++i) {
        main.shims.push_back("Shim" + std::to_string(i));
    }
    for (int i = 0; i < 200; ++i) {
        main.layers.push_back({"LAYER" + std::to_string(i), {"Shim1", "Shim2", "Shim3"}});
    }
    for (int i = 0; i < MAIN_EXES; ++i) {
        main.exes.push_back("program" + std::to_string(i) + ".exe");
    }
    write_file(windows / "AppPatch" / "sysmain.sdb", database_bytes(main));

    TestHive software;
    for (int i = 0; i < CUSTOM_DATABASES; ++i) {
        std::string guid = guid_of(i);
        TestDatabase custom{
            "Vendor fixes " + std::to_string(i), guid, 1, "3.0.0.9", {"InjectDll"}, {}, {}};
        for (int exe = 0; exe < 50; ++exe) {
            custom.exes.push_back("app" + std::to_string(exe) + ".exe");
        }
        write_file(windows / "AppPatch" / "Custom" / (guid + ".sdb"), database_bytes(custom));
        software.key(std::string(APPCOMPAT) + "\\InstalledSDB\\" + guid,
                     {text_value("DatabasePath", "C:\\Windows\\AppPatch\\Custom\\" + guid + ".sdb"),
                      text_value("DatabaseDescription", "Vendor fixes"),
                      {"DatabaseInstallTimeStamp", inventory::VALUE_QWORD, qword_bytes(1)},
                      {"DatabaseType", inventory::VALUE_DWORD, dword_bytes(0x10000)}});
        software.key(std::string(APPCOMPAT) + "\\Custom\\app" + std::to_string(i) + ".exe",
                     {{guid + ".sdb", inventory::VALUE_QWORD, qword_bytes(1)}});
    }
    software.key(std::string(APPCOMPAT) + "\\Layers",
                 {text_value("C:\\app.exe", "~ LAYER1 LAYER2")});
    std::vector<uint8_t> filler(FILLER_BYTES, 0x5a);
    for (int i = 0; i < FILLER_KEYS; ++i) {
        software.key("Classes\\Filler" + std::to_string(i / 100) + "\\Key" + std::to_string(i),
                     {{"Data", inventory::VALUE_BINARY, filler}});
    }
    fs::create_directories(windows / "System32" / "config");
    software.write(windows / "System32" / "config" / "SOFTWARE");

    for (int user = 0; user < USERS; ++user) {
        TestHive hive;
        std::vector<TestValue> layers;
        std::vector<TestValue> store;
        for (int i = 0; i < 20; ++i) {
            layers.push_back(text_value("C:\\Program Files\\app" + std::to_string(i) + ".exe",
                                        "~ LAYER" + std::to_string(i)));
            store.push_back(
                {"C:\\setup" + std::to_string(i) + ".exe", inventory::VALUE_BINARY, {1, 2, 3, 4}});
        }
        hive.key(std::string(USER_APPCOMPAT) + "\\Layers", layers);
        hive.key(std::string(USER_APPCOMPAT) + "\\Compatibility Assistant\\Store", store);
        for (int i = 0; i < 500; ++i) {
            hive.key("Software\\Vendor\\Key" + std::to_string(i), {text_value("v", "value")});
        }
        fs::path folder = root / "Users" / ("user" + std::to_string(user));
        fs::create_directories(folder);
        hive.write(folder / "NTUSER.DAT");
    }
}

const int REGISTRATIONS = 8000;
const int MANY_USERS = 800;
const int MANY_DATABASES = 800;

// 8,000 InstalledSDB registrations under one key, their files absent. The keys are written
// in groups of 100 and then listed under InstalledSDB at once, as Windows keeps them: libhivex
// would leave a copy of the growing list behind for each key added.
void build_registrations_image(const fs::path& root) {
    TestHive software;
    const int group = 100;
    std::vector<std::string> groups;
    software.key(std::string(APPCOMPAT) + "\\InstalledSDB");
    for (int i = 0; i < REGISTRATIONS; ++i) {
        std::string guid = guid_of(i);
        if (i % group == 0) {
            groups.push_back("Written\\Group" + std::to_string(i / group));
        }
        software.key(groups.back() + "\\" + guid,
                     {text_value("DatabasePath", "C:\\Windows\\AppPatch\\Custom\\" + guid + ".sdb"),
                      {"DatabaseInstallTimeStamp", inventory::VALUE_QWORD, qword_bytes(1)}});
    }
    fs::create_directories(root / "Windows" / "System32" / "config");
    fs::path hive = root / "Windows" / "System32" / "config" / "SOFTWARE";
    software.write(hive);
    TestHive::gather_subkeys(hive, std::string(APPCOMPAT) + "\\InstalledSDB", groups);
}

// 800 user hives with a stored layer each, and 800 registered databases that are there.
void build_users_image(const fs::path& root) {
    TestHive software;
    for (int i = 0; i < MANY_DATABASES; ++i) {
        std::string guid = guid_of(i);
        write_file(root / "Windows" / "AppPatch" / "Custom" / (guid + ".sdb"),
                   database_bytes({"Vendor fixes", guid, 1, "3.0.0.9", {}, {}, {"app.exe"}}));
        software.key(
            std::string(APPCOMPAT) + "\\InstalledSDB\\" + guid,
            {text_value("DatabasePath", "C:\\Windows\\AppPatch\\Custom\\" + guid + ".sdb")});
    }
    fs::create_directories(root / "Windows" / "System32" / "config");
    software.write(root / "Windows" / "System32" / "config" / "SOFTWARE");
    for (int user = 0; user < MANY_USERS; ++user) {
        TestHive hive;
        hive.key(std::string(USER_APPCOMPAT) + "\\Layers",
                 {text_value("C:\\app.exe", "~ WINXPSP3")});
        fs::path folder = root / "Users" / ("user" + std::to_string(user));
        fs::create_directories(folder);
        hive.write(folder / "NTUSER.DAT");
    }
}

fs::path built(const char* name, void (*build)(const fs::path&)) {
    const char* tmp = std::getenv("TMPDIR");
    fs::path root = fs::path(tmp != nullptr ? tmp : "/tmp") / name;
    fs::path done = root / ".built";
    if (!fs::exists(done)) {
        fs::remove_all(root);
        build(root);
        std::ofstream(done) << "1";
    }
    return root;
}

fs::path image_root() {
    return built("quillet-image-bench", build_image);
}

// The inventory as quillet-image makes it, JSON Lines included.
inventory::Inventory inventory_of(const std::string& root, std::string* lines) {
    image_inventory::CommandLine line;
    line.root = root;
    image_inventory::ImageFiles files(line.root);
    image_inventory::ImageRegistry registry;
    std::vector<std::string> warnings;
    image_inventory::open_hives(line, files, &registry, &warnings);
    inventory::Inventory result = inventory::build_inventory(registry, files);
    *lines = inventory::inventory_json(result, "\n");
    return result;
}

void BM_EightThousandRegistrations(benchmark::State& state) {
    std::string root = built("quillet-image-bench-registrations", build_registrations_image);
    for (auto _ : state) {
        std::string lines;
        if (inventory_of(root, &lines).registrations.size() != REGISTRATIONS) {
            state.SkipWithError("the inventory is not the image's");
        }
        benchmark::DoNotOptimize(lines);
    }
}

void BM_EightHundredUsersAndDatabases(benchmark::State& state) {
    std::string root = built("quillet-image-bench-users", build_users_image);
    for (auto _ : state) {
        std::string lines;
        inventory::Inventory result = inventory_of(root, &lines);
        if (result.databases.size() != MANY_DATABASES || result.layers.size() != MANY_USERS) {
            state.SkipWithError("the inventory is not the image's");
        }
        benchmark::DoNotOptimize(lines);
    }
}

void BM_ImageInventory(benchmark::State& state) {
    std::string root = image_root().string();
    for (auto _ : state) {
        std::string lines;
        inventory::Inventory result = inventory_of(root, &lines);
        if (result.databases.size() != CUSTOM_DATABASES + 1 ||
            result.layers.size() != 1 + 20 * USERS) {
            state.SkipWithError("the inventory is not the image's");
        }
        benchmark::DoNotOptimize(lines);
    }
}

// Opening the same hives and reading and opening the same databases, nothing more.
void BM_OpenHivesAndDatabasesAlone(benchmark::State& state) {
    fs::path root = image_root();
    std::vector<std::string> hives = {(root / "Windows/System32/config/SOFTWARE").string()};
    for (int user = 0; user < USERS; ++user) {
        hives.push_back((root / "Users" / ("user" + std::to_string(user)) / "NTUSER.DAT").string());
    }
    std::vector<std::string> databases = {(root / "Windows/AppPatch/sysmain.sdb").string()};
    for (int i = 0; i < CUSTOM_DATABASES; ++i) {
        databases.push_back((root / "Windows/AppPatch/Custom" / (guid_of(i) + ".sdb")).string());
    }
    for (auto _ : state) {
        std::vector<std::string> warnings;
        for (const std::string& hive : hives) {
            benchmark::DoNotOptimize(image_inventory::HiveFile::open(hive, &warnings));
        }
        for (const std::string& database : databases) {
            benchmark::DoNotOptimize(sdb::open_database_file(database.c_str()));
        }
    }
}

BENCHMARK(BM_ImageInventory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenHivesAndDatabasesAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EightThousandRegistrations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EightHundredUsersAndDatabases)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--image-only") == 0) {
            std::printf(
                "%s\n%s\n%s\n", image_root().c_str(),
                built("quillet-image-bench-registrations", build_registrations_image).c_str(),
                built("quillet-image-bench-users", build_users_image).c_str());
            return 0;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
