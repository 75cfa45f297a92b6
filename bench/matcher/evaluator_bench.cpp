// The evaluator over a generated database of the size of a Windows 10 system database
// (20,000 EXE entries, 900 wildcard patterns, about 4 MB), for files whose attributes are
// already in memory: the lookup and the verdicts alone, in files per second.
#include "entry_evaluator.h"
#include "generated_database.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const int Files = 1024;

sdb::DatabasePtr OpenGenerated(std::size_t* size) {
    std::vector<std::uint8_t> image = GeneratedDatabaseBytes();
    *size = image.size();
    return image.empty() ? nullptr : sdb::open_database_bytes(std::move(image));
}

struct NoOtherFiles : MatchWorld {
    FileState Attributes(const std::u16string&, const FileAttributes**) override {
        return FileState::Missing;
    }
};

struct Generated {
    std::size_t size = 0;
    sdb::DatabasePtr db = OpenGenerated(&size);
};

const Generated& TheDatabase() {
    static Generated generated;
    return generated;
}

// Argument 0: every candidate in full, as an explanation; 1: as the engine and a report of
// matches ask, with firm failures on the program's attributes cut short.
void BM_EvaluateFiles(benchmark::State& state) {
    CandidateDetail detail =
        state.range(0) == 0 ? CandidateDetail::Full : CandidateDetail::SkipFirmFailures;
    std::size_t size = TheDatabase().size;
    const sdb::DatabasePtr& db = TheDatabase().db;
    if (!db) {
        state.SkipWithError("the database could not be built");
        return;
    }
    sdb::ExeIndex index(*db);
    // Half the files have entries of their name, the rest only meet the patterns.
    std::vector<ProgramFacts> programs(Files);
    std::vector<FileAttributes> attributes(Files);
    for (int i = 0; i < Files; ++i) {
        attributes[i].numbers[sdb::TAG_SIZE] = 4096;
        attributes[i].numbers[sdb::TAG_CHECKSUM] = 0x1000u + static_cast<std::uint32_t>(i * 7);
        attributes[i].numbers[sdb::TAG_BIN_FILE_VERSION] = 0x0001000200030004ull;
        attributes[i].strings[sdb::TAG_COMPANY_NAME] = u"Generated Inc";
        programs[i].path = u"C:\\Apps\\" + (i % 2 == 0 ? GeneratedProgramName(i * 7)
                                                       : u"other" + GeneratedProgramName(i));
        programs[i].attributes = &attributes[i];
        programs[i].machine = MachineI386;
    }
    SystemFacts system;
    NoOtherFiles world;
    std::size_t candidates = 0, file = 0;
    for (auto _ : state) {
        std::vector<EntryResult> results =
            EvaluateCandidates(index, programs[file], system, world, detail);
        candidates += results.size();
        benchmark::DoNotOptimize(results);
        file = (file + 1) % Files;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["databaseBytes"] = static_cast<double>(size);
    state.counters["candidatesPerFile"] =
        static_cast<double>(candidates) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EvaluateFiles)->Arg(0)->Arg(1);

// Building the lookup once per database: what a program pays at start.
void BM_BuildExeIndex(benchmark::State& state) {
    const sdb::DatabasePtr& db = TheDatabase().db;
    for (auto _ : state) {
        sdb::ExeIndex index(*db);
        benchmark::DoNotOptimize(index.wildcard_count());
    }
}
BENCHMARK(BM_BuildExeIndex)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
