// quillet-match: the verdicts of shim database entries for files on disk.
#include "file_facts.h"
#include "image_scan.h"
#include "match_report.h"
#include "native_world.h"

#include "sdb_text.h"
#include "version.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace {

const char Usage[] = "usage: quillet-match [--json] [--explain] [--windows ROOT] --database DB\n"
                     "                     [--database DB]... FILE...\n"
                     "       quillet-match --image ROOT [--json] [--explain] [--third-party]\n"
                     "                     [--jobs N] [PATH...]\n";

const char Help[] =
    "Says which EXE entries of the databases apply to each FILE, and how sure that is:\n"
    "matched, matched-if (the unconfirmed rules listed hold), unknown (a condition cannot\n"
    "be computed here) or not-matched. Conditions on the target Windows (its build, its\n"
    "registry) are unknown; its folders too unless --windows gives one.\n"
    "\n"
    "With --image, every PE and NE file below ROOT, a mounted Windows volume (or below each\n"
    "PATH inside it), is matched against what the image applies: the main database of the\n"
    "program's machine, the registered custom databases and the layers stored for its path,\n"
    "per machine and per user (a report per user whose layers add to it), the target\n"
    "Windows read from its SOFTWARE hive. Only programs with something to show are\n"
    "reported; a summary follows. Links are never followed.\n"
    "\n"
    "  --database DB  a shim database to search (repeatable, at least one)\n"
    "  --windows ROOT a mounted Windows volume (its drive C:): %windir% and the other\n"
    "                 folder variables take their default values below it\n"
    "  --image ROOT   an offline Windows image (its drive C:) to walk and match\n"
    "  --third-party  with --image: only third-party and impersonating databases' entries,\n"
    "                 and stored layers (Microsoft's own main databases are left out)\n"
    "  --jobs N       with --image: N threads read and match (default: one per core)\n"
    "  --json         one JSON object per file (docs/match-json.md)\n"
    "  --explain      every condition, and the not-matched candidates too\n"
    "  --help         this text\n"
    "  --version      the program's version\n"
    "\n"
    "Exit status: 0 every file and database was read, 1 one could not be read or a\n"
    "database is damaged (still reported; with --image: any warning, such as an unreadable\n"
    "file, a program over the size limit, a link out of ROOT, a damaged database or hive),\n"
    "2 usage error.\n";

int UsageError(const char* why) {
    std::cerr << "quillet-match: " << why << '\n' << Usage;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool json = false, explain = false, options = true, thirdParty = false;
    std::string windowsRoot, imageRoot;
    unsigned jobs = 0;
    std::vector<std::string> databasePaths, files;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && std::strcmp(arg, "--") == 0) {
            options = false;
        } else if (options && std::strcmp(arg, "--help") == 0) {
            std::cout << Usage << '\n' << Help;
            return 0;
        } else if (options && std::strcmp(arg, "--version") == 0) {
            std::cout << quillet::version_text("quillet-match") << '\n';
            return 0;
        } else if (options && std::strcmp(arg, "--json") == 0) {
            json = true;
        } else if (options && std::strcmp(arg, "--explain") == 0) {
            explain = true;
        } else if (options && std::strcmp(arg, "--database") == 0) {
            if (++i == argc)
                return UsageError("--database needs a file");
            databasePaths.push_back(argv[i]);
        } else if (options && std::strcmp(arg, "--windows") == 0) {
            if (++i == argc)
                return UsageError("--windows needs a folder");
            windowsRoot = argv[i];
        } else if (options && std::strcmp(arg, "--image") == 0) {
            if (++i == argc)
                return UsageError("--image needs a folder");
            imageRoot = argv[i];
        } else if (options && std::strcmp(arg, "--third-party") == 0) {
            thirdParty = true;
        } else if (options && std::strcmp(arg, "--jobs") == 0) {
            char* end = nullptr;
            if (++i == argc ||
                (jobs = static_cast<unsigned>(std::strtoul(argv[i], &end, 10))) == 0 ||
                *end != '\0' || jobs > 256)
                return UsageError("--jobs needs a number from 1 to 256");
        } else if (options && std::strncmp(arg, "--", 2) == 0) {
            return UsageError("unknown option");
        } else {
            files.push_back(arg);
        }
    }
    if (!imageRoot.empty()) {
        if (!databasePaths.empty() || !windowsRoot.empty())
            return UsageError("--image takes neither --database nor --windows");
        std::error_code error;
        if (!std::filesystem::is_directory(imageRoot, error))
            return UsageError("--image is no folder");
        ImageScanOptions scan;
        scan.root = imageRoot;
        scan.paths = files;
        scan.json = json;
        scan.explain = explain;
        scan.thirdParty = thirdParty;
        scan.jobs = jobs;
        scan.progress = isatty(STDERR_FILENO) != 0;
        return RunImageScan(scan, std::cout, std::cerr);
    }
    if (thirdParty || jobs != 0)
        return UsageError("--third-party and --jobs go with --image");
    if (databasePaths.empty())
        return UsageError("no --database given");
    if (files.empty())
        return UsageError("no FILE given");

    int status = 0;
    std::vector<ToolDatabase> databases;
    for (const std::string& path : databasePaths) {
        sdb::OpenError error = sdb::OpenError::None;
        ToolDatabase database;
        database.path = path;
        database.db = sdb::open_database_file(path.c_str(), &error);
        if (!database.db) {
            std::cerr << "quillet-match: " << path << ": " << sdb::open_error_text(error) << '\n';
            status = 1;
            continue;
        }
        // Damage may hide entries: said on every run, and in the exit status.
        if (sdb::database_stopped_at(*database.db) != 0) {
            std::cerr << "quillet-match: warning: " << path << ": read stopped at offset "
                      << sdb::database_stopped_at(*database.db) << ": "
                      << sdb::database_stop_reason(*database.db) << '\n';
            status = 1;
        }
        database.index.reset(new sdb::ExeIndex(*database.db));
        databases.push_back(std::move(database));
    }

    NativeMatchWorld world(windowsRoot);
    SystemFacts system; // without a target Windows its conditions stay unknown
    if (!windowsRoot.empty()) {
        std::error_code error;
        if (!std::filesystem::is_directory(windowsRoot, error))
            return UsageError("--windows is no folder");
        // The default folders of an installation on C:; its build stays unknown.
        system.known = true;
        system.is64Bit = !world.NativePath(u"C:\\Windows\\SysWOW64").empty();
        SetDefaultFolders(system);
    }
    for (const std::string& path : files) {
        FileReport report;
        report.path = path;
        FileAttributes attributes;
        ProgramImage image;
        report.read = ReadFileFacts(path, attributes, image);
        if (report.read) {
            ProgramFacts program;
            // Absolute, so that names beside the program are looked up beside it.
            std::error_code error;
            std::filesystem::path absolute = std::filesystem::absolute(path, error);
            sdb::from_utf8(error ? path : absolute.string(), &program.path);
            program.attributes = &attributes;
            program.machine = image.machine;
            program.moduleName16 = image.moduleName16;
            for (const ToolDatabase& database : databases)
                report.databases.push_back(
                    {&database, EvaluateCandidates(*database.index, program, system, world,
                                                   explain ? CandidateDetail::Full
                                                           : CandidateDetail::SkipFirmFailures)});
        } else {
            std::cerr << "quillet-match: " << path << ": cannot be read\n";
            status = 1;
        }
        if (json)
            std::cout << JsonReport(report, explain)
                             .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                      << '\n';
        else
            WriteTextReport(std::cout, report, explain);
    }
    return status;
}
