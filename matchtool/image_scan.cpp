// Matches every program of an offline image, in batches read and matched by a pool of threads.
#include "image_scan.h"

#include "image_databases.h"
#include "image_walk.h"
#include "image_world.h"
#include "match_report.h"
#include "path_resolution.h"
#include "program_image.h"

#include "path_attributes.h"
#include "windows_paths.h"

#include "sdb_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iomanip>
#include <mutex>
#include <sstream>
#include <thread>
#include <unordered_map>

namespace {

// Files handed to the pool at once: bounds what waits to be written, keeps the output in
// walk order.
const std::size_t BatchSize = 2048;
// The program's machine and NE module name lie in its headers, well inside this.
const std::size_t HeadSize = 64 * 1024;
// Candidate lists a thread keeps per database before it starts afresh.
const std::size_t CacheLimit = 1 << 16;

enum class Kind { NotProgram, Program, Unreadable, TooLarge };

struct ItemResult {
    Kind kind = Kind::NotProgram;
    std::string warning;
    std::string text;                   // the reports, as written
    std::vector<std::size_t> matchedBy; // databases (by number) with a matching entry
};

struct Scan {
    const ImageScanOptions& options;
    const ImageDatabases& databases;
    std::vector<const ToolDatabase*> searched; // every database, numbered for the summary
};

// What one thread keeps between files: its view of the image (made afresh for each batch,
// so that what it keeps of the files it looked up stays bounded) and its candidate lists.
struct Worker {
    std::unique_ptr<ImageMatchWorld> world;
    std::vector<std::unordered_map<std::u16string, std::vector<sdb::ExeCandidate>>> candidates;
};

const std::vector<sdb::ExeCandidate>& Candidates(Worker& worker, std::size_t number,
                                                 const ToolDatabase& database,
                                                 const std::u16string& fileName,
                                                 const std::u16string& module) {
    auto& cache = worker.candidates[number];
    std::u16string key = FoldedText(fileName) + u'\\' + FoldedText(module);
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;
    if (cache.size() >= CacheLimit)
        cache.clear();
    std::vector<sdb::ExeCandidate> list;
    database.index->find(fileName.c_str(), module.c_str(), &list);
    return cache.emplace(std::move(key), std::move(list)).first->second;
}

std::string Render(const FileReport& report, bool json, bool explain) {
    if (json)
        return JsonReport(report, explain)
                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
               "\n";
    std::ostringstream text;
    WriteTextReport(text, report, explain);
    return text.str();
}

// The verdicts of every database the program meets, for a system (USERPROFILE differs by user).
std::vector<DatabaseVerdicts> Evaluate(const Scan& scan, Worker& worker,
                                       const ProgramFacts& program, const SystemFacts& system) {
    std::vector<DatabaseVerdicts> verdicts;
    const ToolDatabase* main = MainDatabaseFor(scan.databases, program.machine);
    std::u16string fileName = FileNameOfPath(program.path);
    for (std::size_t number = 0; number < scan.searched.size(); ++number) {
        const ToolDatabase* database = scan.searched[number];
        if ((database == scan.databases.main32 || database == scan.databases.main64) &&
            database != main)
            continue;
        const std::vector<sdb::ExeCandidate>& found =
            Candidates(worker, number, *database, fileName, program.moduleName16);
        verdicts.push_back(
            {database, EvaluateFound(*database->db, found, program, system, *worker.world,
                                     scan.options.explain ? CandidateDetail::Full
                                                          : CandidateDetail::SkipFirmFailures)});
    }
    return verdicts;
}

// Reads the file's headers and attributes; Program when it is a PE or NE file that was read.
Kind ReadProgram(const WalkedFile& file, std::uint64_t sizeLimit, FileAttributes& attributes,
                 ProgramImage& image, std::string* warning) {
    // O_NOFOLLOW: a link put in place since the walk is not followed either; everything is
    // read through this one descriptor, so that the file cannot be swapped in between.
    const DescriptorHolder opened(
        open(file.host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
    if (opened.fd < 0) {
        *warning = file.windows + ": cannot be read: " + std::strerror(errno);
        return Kind::Unreadable;
    }
    struct stat status;
    std::vector<std::uint8_t> head;
    ssize_t got = -1;
    bool regular = true;
    if (fstat(opened.fd, &status) == 0) {
        // Replaced by a device or a FIFO since the walk: no program, and not to be read.
        regular = S_ISREG(status.st_mode);
        head.resize(regular ? static_cast<std::size_t>(std::min<std::uint64_t>(
                                  HeadSize, static_cast<std::uint64_t>(status.st_size)))
                            : 0);
        got = regular ? pread(opened.fd, head.data(), head.size(), 0) : 0;
    }
    int readError = errno;
    if (!regular)
        return Kind::NotProgram;
    if (got < 0) {
        *warning = file.windows + ": cannot be read: " + std::strerror(readError);
        return Kind::Unreadable;
    }
    head.resize(static_cast<std::size_t>(got));
    if (head.size() < 2 || head[0] != 'M' || head[1] != 'Z')
        return Kind::NotProgram;
    if (static_cast<std::uint64_t>(status.st_size) > sizeLimit) {
        *warning = file.windows + ": " + std::to_string(status.st_size) +
                   " bytes, over the limit of " + std::to_string(sizeLimit) + "; not read";
        return Kind::TooLarge;
    }
    if (!ReadFileAttributesOfDescriptor(opened.fd, attributes)) {
        *warning = file.windows + ": cannot be read";
        return Kind::Unreadable;
    }
    auto type = attributes.numbers.find(sdb::TAG_MODULE_TYPE);
    if (type == attributes.numbers.end() || (type->second != ModulePe && type->second != ModuleNe))
        return Kind::NotProgram;
    image = ReadProgramImage(head.data(), head.size());
    return Kind::Program;
}

ItemResult MatchFile(const Scan& scan, Worker& worker, const WalkedFile& file) {
    ItemResult result;
    FileAttributes attributes;
    ProgramImage image;
    result.kind = ReadProgram(file, scan.options.sizeLimit, attributes, image, &result.warning);
    if (result.kind != Kind::Program)
        return result;
    ProgramFacts program;
    sdb::from_utf8(file.windows, &program.path);
    program.attributes = &attributes;
    program.machine = image.machine;
    program.moduleName16 = image.moduleName16;

    FileReport report;
    report.inImage = true;
    report.path = file.windows;
    report.read = true;
    report.machine = image.machine;
    report.databases = Evaluate(scan, worker, program, scan.databases.system);
    for (std::size_t number = 0; number < scan.searched.size(); ++number) {
        for (const DatabaseVerdicts& verdicts : report.databases) {
            bool matched = false;
            for (const EntryResult& entry : verdicts.entries)
                matched = matched || CountsAsMatch(entry.verdict);
            if (verdicts.database == scan.searched[number] && matched)
                result.matchedBy.push_back(number);
        }
    }
    // Machine layers apply to every user; a user's own come on a line of their own.
    std::vector<const inventory::StoredLayer*> machine;
    std::vector<std::string> users;
    auto stored = scan.databases.layers.find(inventory::path_key(file.windows));
    if (stored != scan.databases.layers.end()) {
        for (const inventory::StoredLayer* layer : stored->second) {
            if (layer->hive != inventory::Hive::User)
                machine.push_back(layer);
            else if (std::find(users.begin(), users.end(), layer->user) == users.end())
                users.push_back(layer->user);
        }
    }
    report.layers = machine;
    if (ReportShowsAnything(report, scan.options.explain))
        result.text = Render(report, scan.options.json, scan.options.explain);
    for (const std::string& user : users) {
        SystemFacts system = scan.databases.system;
        std::u16string profile;
        sdb::from_utf8("C:\\Users\\" + user, &profile);
        system.variables[u"USERPROFILE"] = profile;
        FileReport mine = report;
        mine.user = user;
        mine.databases = Evaluate(scan, worker, program, system);
        for (const inventory::StoredLayer* layer : stored->second) {
            if (layer->hive == inventory::Hive::User && layer->user == user)
                mine.layers.push_back(layer);
        }
        result.text += Render(mine, scan.options.json, scan.options.explain);
    }
    return result;
}

void Warn(std::ostream& out, std::ostream& err, bool json, const std::string& warning) {
    err << "quillet-match: warning: " << warning << '\n';
    // In the report too, so that a report kept in a file still says what it lacks.
    if (json)
        out << nlohmann::json({{"type", "warning"}, {"message", warning}})
                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
            << '\n';
    else
        out << "Warning: " << warning << '\n';
}

} // namespace

int RunImageScan(const ImageScanOptions& options, std::ostream& out, std::ostream& err) {
    auto start = std::chrono::steady_clock::now();
    image_inventory::CommandLine line;
    line.root = options.root;
    std::unique_ptr<image_inventory::ImageReading> image = image_inventory::read_image(line);
    ImageDatabases databases = PrepareImageDatabases(*image);
    std::size_t warnings = 0;
    for (const std::vector<std::string>* list : {&image->inventory.warnings, &databases.warnings}) {
        for (const std::string& warning : *list) {
            Warn(out, err, options.json, warning);
            ++warnings;
        }
    }

    ImageScanOptions settings = options;
    if (settings.sizeLimit == 0)
        settings.sizeLimit = image_inventory::MAX_READ_BYTES;
    unsigned jobs = settings.jobs != 0 ? settings.jobs : std::thread::hardware_concurrency();
    jobs = jobs == 0 ? 1 : jobs;
    Scan scan{settings, databases, {}};
    for (const ToolDatabase* database : {databases.main32, databases.main64}) {
        if (database != nullptr && !(settings.thirdParty && database->microsoft))
            scan.searched.push_back(database);
    }
    for (const ToolDatabase* database : databases.custom) {
        if (!(settings.thirdParty && database->microsoft))
            scan.searched.push_back(database);
    }

    std::vector<std::string> walkWarnings;
    std::vector<WalkedFile> files = WalkImage(settings.root, settings.paths, &walkWarnings);
    for (const std::string& warning : walkWarnings)
        Warn(out, err, options.json, warning);
    warnings += walkWarnings.size();

    std::mutex registryLock;
    std::vector<std::unique_ptr<Worker>> workers;
    for (unsigned i = 0; i < jobs; ++i) {
        workers.emplace_back(new Worker());
        workers.back()->candidates.resize(scan.searched.size());
    }
    std::size_t programs = 0, unreadable = 0, tooLarge = 0, matchedPrograms = 0;
    std::vector<std::size_t> matched(scan.searched.size());
    std::vector<ItemResult> results;
    for (std::size_t first = 0; first < files.size(); first += BatchSize) {
        std::size_t count = std::min(BatchSize, files.size() - first);
        results.assign(count, ItemResult());
        for (std::unique_ptr<Worker>& worker : workers)
            worker->world.reset(new ImageMatchWorld(settings.root, &image->registry, &registryLock,
                                                    databases.system.is64Bit));
        std::atomic<std::size_t> next(0);
        auto work = [&](Worker* worker) {
            for (std::size_t i = next++; i < count; i = next++)
                results[i] = MatchFile(scan, *worker, files[first + i]);
        };
        std::vector<std::thread> threads;
        for (unsigned i = 1; i < jobs; ++i)
            threads.emplace_back(work, workers[i].get());
        work(workers[0].get());
        for (std::thread& thread : threads)
            thread.join();
        for (ItemResult& result : results) {
            programs += result.kind == Kind::Program;
            unreadable += result.kind == Kind::Unreadable;
            tooLarge += result.kind == Kind::TooLarge;
            matchedPrograms += !result.matchedBy.empty();
            for (std::size_t number : result.matchedBy)
                ++matched[number];
            if (!result.warning.empty()) {
                Warn(out, err, options.json, result.warning);
                ++warnings;
            }
            out << result.text;
        }
        if (settings.progress) {
            double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            err << "\r" << (first + count) << " of " << files.size() << " files, "
                << static_cast<long long>(static_cast<double>(first + count) / seconds)
                << " files/s, " << matchedPrograms << " programs matched" << std::flush;
        }
    }
    if (settings.progress)
        err << "\r\033[K" << std::flush;

    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (options.json) {
        nlohmann::json byDatabase = nlohmann::json::array();
        for (std::size_t number = 0; number < scan.searched.size(); ++number)
            byDatabase.push_back({{"database", scan.searched[number]->path},
                                  {"provenance", scan.searched[number]->provenance},
                                  {"impersonatesMicrosoft", scan.searched[number]->impersonates},
                                  {"programs", matched[number]}});
        out << nlohmann::json({{"type", "summary"},
                               {"filesSeen", files.size()},
                               {"programsRead", programs},
                               {"unreadable", unreadable},
                               {"tooLarge", tooLarge},
                               {"warnings", warnings},
                               {"matchedByDatabase", byDatabase},
                               {"elapsedSeconds", elapsed}})
                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
            << '\n';
    } else {
        out << "Summary: " << files.size() << " files seen, " << programs
            << " programs (PE or NE) read, " << unreadable << " unreadable, " << tooLarge
            << " over the size limit, " << warnings << " warnings, " << std::fixed
            << std::setprecision(2) << elapsed << " s\n";
        for (std::size_t number = 0; number < scan.searched.size(); ++number)
            out << "  " << scan.searched[number]->path << " (" << scan.searched[number]->provenance
                << (scan.searched[number]->impersonates ? ", impersonates-microsoft" : "")
                << "): " << matched[number] << " programs matched\n";
    }
    return warnings == 0 && image->all_read ? 0 : 1;
}
