// inventory_bench [--databases COUNT]: times quillet-cli --databases, as text and as JSON,
// against the registry reads and database openings that it has to make, with COUNT (50 by
// default) installed custom databases planted for the run, and checks the limit: at most 1.3
// times the reads and openings alone. The reads alone are the InstalledSDB and Custom keys of
// both registry views with all their values, the listing of the two Custom folders, and each
// database file (the main ones and every registered or listed one) read and opened. The
// reports go to a temporary file. Runs under Wine in the project's prefix; each figure is the
// best of three runs of 50 rounds, each round one inventory of each kind.
#include <windows.h>

#include <cwctype>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../../cli/inventory_report.h"
#include "../../common/handle_holder.h"
#include "../../common/utf8_text.h"
#include "../../inspect/redirection_revert.h"
#include "../../sdb/sdb_guid.h"
#include "../../sdb/sdb_reader.h"
#include "../../tests/liveinventory/planted_state.h"
#include "../bench_files.h"

namespace {

const wchar_t* const RegistrationKeys[] = {L"InstalledSDB", L"Custom"};

// Every value of a key, with its data, read into buffers kept for the whole run.
void ReadValues(HKEY key, std::vector<std::wstring>& strings) {
    static std::vector<wchar_t> name(16384);
    static std::vector<BYTE> data(65536);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, index, &name[0], &nameLength, NULL, &type, &data[0], &size) !=
            ERROR_SUCCESS) {
            return;
        }
        if (type == REG_SZ && size >= sizeof(wchar_t)) {
            strings.push_back(std::wstring(reinterpret_cast<const wchar_t*>(&data[0]),
                                           size / sizeof(wchar_t) - 1));
        }
    }
}

// The subkeys of one AppCompatFlags key in one view, each with its values; the string values
// (the database paths) are collected.
void ReadRegistrations(REGSAM view, const wchar_t* which, std::vector<std::wstring>& strings) {
    RegistryKeyHolder parent;
    const std::wstring path = std::wstring(AppCompatFlagsKey) + L"\\" + which;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, parent.Receive()) !=
        ERROR_SUCCESS) {
        return;
    }
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(parent.Handle(), index, name, &length, NULL, NULL, NULL, NULL) !=
            ERROR_SUCCESS) {
            return;
        }
        RegistryKeyHolder child;
        if (RegOpenKeyExW(parent.Handle(), name, 0, KEY_READ | view, child.Receive()) ==
            ERROR_SUCCESS) {
            ReadValues(child.Handle(), strings);
        }
    }
}

void ListFolder(const std::wstring& folder, std::vector<std::wstring>& files) {
    WIN32_FIND_DATAW found = {};
    FindHandleHolder search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search.Held()) {
        return;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            files.push_back(folder + L"\\" + found.cFileName);
        }
    } while (FindNextFileW(search.Handle(), &found));
}

// Reads the whole file and opens it as a database; false when either fails.
bool OpenDatabaseFile(const std::wstring& path) {
    FileHandleHolder file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    LARGE_INTEGER size = {};
    if (!file.Held() || !GetFileSizeEx(file.Handle(), &size)) {
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() &&
        !ReadFile(file.Handle(), &bytes[0], static_cast<DWORD>(bytes.size()), &got, NULL)) {
        return false;
    }
    return sdb::open_database_buffer(bytes.data(), got) != nullptr;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

// One inventory's reads and openings; the measures repeat it.
void ReadOnce() {
    const RedirectionRevert redirection;
    std::vector<std::wstring> paths;
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        for (const wchar_t* which : RegistrationKeys) {
            ReadRegistrations(view, which, paths);
        }
    }
    const std::wstring appPatch = WindowsFolder() + L"\\AppPatch";
    for (const wchar_t* folder : {L"\\AppPatch", L"\\AppPatch\\AppPatch64"}) {
        for (const wchar_t* name : {L"\\sysmain.sdb", L"\\msimain.sdb", L"\\drvmain.sdb"}) {
            paths.push_back(WindowsFolder() + folder + name);
        }
    }
    ListFolder(appPatch + L"\\Custom", paths);
    ListFolder(appPatch + L"\\Custom\\Custom64", paths);
    std::set<std::wstring> opened;
    for (const std::wstring& path : paths) {
        if (opened.insert(Lower(path)).second) {
            OpenDatabaseFile(path);
        }
    }
}

// A single inventory takes a few milliseconds, so that a run is Rounds of them. Each round
// takes the reads alone, the text report and the JSON report in turn, so that the machine's
// changing load falls on all three alike.
const int Rounds = 50;

void Run(double totals[3]) {
    const OutputToFile output(L"quillet-inventory-bench.txt");
    totals[0] = totals[1] = totals[2] = 0;
    for (int round = 0; round < Rounds; ++round) {
        const double start = Seconds();
        ReadOnce();
        const double read = Seconds();
        ReportInventory(true, false, false, sdb::AuditSeverity::Info);
        const double text = Seconds();
        ReportInventory(true, false, true, sdb::AuditSeverity::Info);
        totals[0] += read - start;
        totals[1] += text - read;
        totals[2] += Seconds() - text;
    }
}

std::string Guid(size_t number) {
    char text[64];
    std::snprintf(text, sizeof text, "{5e1f0c2a-7d41-4b8e-9c3a-%012x}",
                  static_cast<unsigned>(0x100 + number));
    return text;
}

// count installed custom databases: each file in AppPatch\Custom, registered under
// InstalledSDB and named for a program under Custom; every fifth one loads a DLL.
struct PlantedDatabases {
    std::vector<std::unique_ptr<PlantedValue>> values;
    std::vector<std::unique_ptr<PlantedFile>> files;

    explicit PlantedDatabases(size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const std::wstring guid = WideFromUtf8(Guid(i));
            const std::wstring path = WindowsFolder() + L"\\AppPatch\\Custom\\" + guid + L".sdb";
            files.emplace_back(
                new PlantedFile(path, DatabaseImage(u"Bench fixes", Guid(i), i % 5 == 0)));
            const std::wstring key = std::wstring(AppCompatFlagsKey) + L"\\InstalledSDB\\" + guid;
            Add(key, L"DatabasePath", REG_SZ, StringData(path));
            Add(key, L"DatabaseDescription", REG_SZ, StringData(L"Bench fixes"));
            Add(key, L"DatabaseType", REG_DWORD, DwordData(0x10000));
            Add(key, L"DatabaseInstallTimeStamp", REG_QWORD, QwordData(132669792000000000ULL));
            wchar_t program[32];
            std::swprintf(program, 32, L"\\Custom\\bench%03u.exe", static_cast<unsigned>(i));
            Add(std::wstring(AppCompatFlagsKey) + program, guid + L".sdb", REG_QWORD,
                QwordData(132669792000000000ULL));
        }
    }
    void Add(const std::wstring& key, const std::wstring& name, DWORD type,
             const std::vector<BYTE>& data) {
        values.emplace_back(
            new PlantedValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, key, name, type, data));
    }
};

} // namespace

int wmain(int count, wchar_t** arguments) {
    size_t databases = 50;
    for (int i = 1; i + 1 < count; i += 2) {
        if (std::wstring(arguments[i]) == L"--databases") {
            databases = static_cast<size_t>(std::wcstoul(arguments[i + 1], NULL, 10));
        }
    }
    const PlantedDatabases planted(databases);
    double best[3];
    for (int run = 0; run < 3; ++run) {
        double totals[3];
        Run(totals);
        for (int i = 0; i < 3; ++i) {
            best[i] = run == 0 ? totals[i] : std::min(best[i], totals[i]);
        }
    }
    const double alone = best[0];
    const double text = best[1];
    const double json = best[2];
    std::printf("%10s %12s %12s %8s %12s %8s\n", "databases", "reads (s)", "text (s)", "ratio",
                "json (s)", "ratio");
    std::printf("%10u %12.3f %12.3f %8.2f %12.3f %8.2f (limit 1.3)\n",
                static_cast<unsigned>(databases), alone, text, text / alone, json, json / alone);
    const bool withinLimits = std::max(text, json) <= 1.3 * alone;
    std::puts(withinLimits ? "within the limits" : "OUTSIDE the limits");
    return withinLimits ? 0 : 1;
}
