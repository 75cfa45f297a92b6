// The evaluator over a generated database of the size of a Windows 10 system database
// (20,000 EXE entries, 900 wildcard patterns, about 4 MB), for files whose attributes are
// already in memory: the lookup and the verdicts alone, in files per second.
#include "entry_evaluator.h"

#include "sdb_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const int GeneratedEntries = 20000;
const int WildcardEntries = 900;
const int Files = 1024;

std::u16string Text(const char* text) {
    return std::u16string(text, text + std::strlen(text));
}

std::u16string ProgramName(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "program%05d.exe", i);
    return Text(text);
}

// An entry like most of a system database's: the program's size, checksum, version and
// company, sometimes a second file beside it.
void WriteEntry(sdb::Writer& w, const std::u16string& name, int i, bool wildcard) {
    sdb::TAGID exe = sdb::begin_list(w, sdb::TAG_EXE);
    sdb::write_string(w, sdb::TAG_NAME, name);
    if (wildcard)
        sdb::write_string(w, sdb::TAG_WILDCARD_NAME, name);
    sdb::write_string(w, sdb::TAG_APP_NAME, u"App " + name);
    sdb::write_string(w, sdb::TAG_VENDOR, u"Generated vendor");
    sdb::write_guid(w, sdb::TAG_EXE_ID,
                    sdb::Guid{static_cast<std::uint32_t>(i), 0x1234, 0x5678, {1, 2, 3}});
    sdb::TAGID file = sdb::begin_list(w, sdb::TAG_MATCHING_FILE);
    sdb::write_string(w, sdb::TAG_NAME, u"*");
    sdb::write_dword(w, sdb::TAG_SIZE, 4096 + static_cast<std::uint32_t>(i % 7));
    sdb::write_dword(w, sdb::TAG_CHECKSUM, 0x1000u + static_cast<std::uint32_t>(i));
    sdb::write_qword(w, sdb::TAG_UPTO_BIN_FILE_VERSION, 0x0002FFFFFFFFFFFFull);
    sdb::write_string(w, sdb::TAG_COMPANY_NAME, i % 5 == 0 ? u"*Generated*" : u"Generated Inc");
    sdb::end_list(w, file);
    if (i % 4 == 0) {
        file = sdb::begin_list(w, sdb::TAG_MATCHING_FILE);
        sdb::write_string(w, sdb::TAG_NAME, u"data\\setup.ini");
        sdb::write_dword(w, sdb::TAG_SIZE, 100);
        sdb::end_list(w, file);
    }
    sdb::write_dword(w, sdb::TAG_RUNTIME_PLATFORM, 0x4C);
    sdb::TAGID shim = sdb::begin_list(w, sdb::TAG_SHIM_REF);
    sdb::write_string(w, sdb::TAG_NAME, u"CorrectFilePaths");
    sdb::end_list(w, shim);
    sdb::end_list(w, exe);
}

sdb::DatabasePtr GeneratedDatabase(std::size_t* size) {
    sdb::WriterPtr w = sdb::create_writer();
    sdb::declare_index(*w, sdb::TAG_EXE, sdb::TAG_NAME, GeneratedEntries, true,
                       sdb::TAG_WILDCARD_NAME);
    sdb::declare_index(*w, sdb::TAG_EXE, sdb::TAG_WILDCARD_NAME, WildcardEntries, false);
    sdb::TAGID database = sdb::begin_list(*w, sdb::TAG_DATABASE);
    sdb::write_string(*w, sdb::TAG_NAME, u"Generated database");
    for (int i = 0; i < GeneratedEntries; ++i)
        WriteEntry(*w, ProgramName(i), i, false);
    // Pattern shapes of a system database: `*` alone, `*word*`, `word*.exe`, `?`.
    char text[40];
    for (int i = 0; i < WildcardEntries; ++i) {
        std::snprintf(text, sizeof text,
                      i % 30 == 0  ? "*"
                      : i % 4 == 0 ? "*instal%d*"
                      : i % 4 == 1 ? "setup%d*.exe"
                      : i % 4 == 2 ? "*sd*setup%d*.exe"
                                   : "up%d??.exe",
                      i);
        WriteEntry(*w, Text(text), GeneratedEntries + i, true);
    }
    sdb::end_list(*w, database);
    std::vector<std::uint8_t> image;
    if (!sdb::close_to_buffer(*w, &image))
        return nullptr;
    *size = image.size();
    return sdb::open_database_bytes(std::move(image));
}

struct NoOtherFiles : MatchWorld {
    FileState Attributes(const std::u16string&, const FileAttributes**) override {
        return FileState::Missing;
    }
};

struct Generated {
    std::size_t size = 0;
    sdb::DatabasePtr db = GeneratedDatabase(&size);
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
        programs[i].path =
            u"C:\\Apps\\" + (i % 2 == 0 ? ProgramName(i * 7) : Text("other") + ProgramName(i));
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
