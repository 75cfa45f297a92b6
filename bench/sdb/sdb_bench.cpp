// Looking up an EXE by name in a database of 20,000 EXE entries: through the index and by
// scanning all entries; and the cost of opening such a database.
#include "sdb_index.h"
#include "sdb_writer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>

using namespace sdb;

namespace {

const unsigned EXE_COUNT = 20000;

// Names of 4 to 12 letters from a fixed pseudo-random sequence, some of them repeated.
std::vector<std::u16string> exe_names() {
    std::vector<std::u16string> names;
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 16;
    };
    for (unsigned i = 0; i < EXE_COUNT; ++i) {
        if (i % 10 == 9) {
            names.push_back(names[next() % names.size()]);
            continue;
        }
        std::u16string name;
        for (unsigned length = 4 + next() % 9; name.size() < length;) {
            name.push_back(static_cast<char16_t>(u'a' + next() % 26));
        }
        names.push_back(name + u".exe");
    }
    // Entries of one key together, as the unique-key index needs.
    std::stable_sort(names.begin(), names.end(),
                     [](const std::u16string& a, const std::u16string& b) {
                         return string_key(a.c_str()) < string_key(b.c_str());
                     });
    return names;
}

// A database shaped like a real main database: each EXE with its application, a GUID, a
// matching file and a shim reference.
std::vector<uint8_t> build_database(const std::vector<std::u16string>& names) {
    WriterPtr w = create_writer();
    declare_index(*w, TAG_EXE, TAG_NAME, EXE_COUNT, true);
    TAGID db = begin_list(*w, TAG_DATABASE);
    write_string(*w, TAG_NAME, u"Generated main database");
    TAGID library = begin_list(*w, TAG_LIBRARY);
    TAGID shim = begin_list(*w, TAG_SHIM);
    write_string(*w, TAG_NAME, u"CorrectFilePaths");
    write_string(*w, TAG_DLLFILE, u"AcGenral.dll");
    end_list(*w, shim);
    end_list(*w, library);
    for (unsigned i = 0; i < names.size(); ++i) {
        TAGID exe = begin_list(*w, TAG_EXE);
        write_string(*w, TAG_NAME, names[i]);
        write_string(*w, TAG_APP_NAME, u"Application " + std::u16string(1, u'A' + i % 26));
        write_string(*w, TAG_VENDOR, u"Vendor " + std::u16string(1, u'A' + i % 13));
        Guid id = {i, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
        write_guid(*w, TAG_EXE_ID, id);
        TAGID file = begin_list(*w, TAG_MATCHING_FILE);
        write_string(*w, TAG_NAME, u"*");
        write_dword(*w, TAG_SIZE, 4096 + i);
        end_list(*w, file);
        TAGID ref = begin_list(*w, TAG_SHIM_REF);
        write_string(*w, TAG_NAME, u"CorrectFilePaths");
        write_dword(*w, TAG_SHIM_TAGID, shim);
        end_list(*w, ref);
        end_list(*w, exe);
    }
    end_list(*w, db);
    std::vector<uint8_t> image;
    close_to_buffer(*w, &image);
    return image;
}

struct Fixture {
    std::vector<std::u16string> names = exe_names();
    std::vector<uint8_t> image = build_database(names);
    DatabasePtr db = open_database_buffer(image.data(), image.size());
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// Finds every entry of a name, through the index or by scanning.
void look_up(benchmark::State& state, bool scan) {
    Fixture& f = fixture();
    TAGID parent = database_list(*f.db);
    size_t n = 0;
    size_t found = 0;
    for (auto _ : state) {
        const std::u16string& name = f.names[(n * 7919) % f.names.size()];
        ++n;
        KeySearch search;
        TAGID t = scan ? scan_first_by_key(*f.db, parent, TAG_EXE, TAG_NAME, name.c_str(), &search)
                       : find_first_by_key(*f.db, parent, TAG_EXE, TAG_NAME, name.c_str(), &search);
        for (; t != 0; t = find_next_by_key(*f.db, &search)) {
            ++found;
        }
    }
    if (found < n) {
        state.SkipWithError("an entry was not found");
    }
    state.counters["entries"] = static_cast<double>(EXE_COUNT);
    state.counters["bytes"] = static_cast<double>(f.image.size());
}

void BM_LookupByIndex(benchmark::State& state) {
    look_up(state, false);
}
void BM_LookupByScan(benchmark::State& state) {
    look_up(state, true);
}

void BM_OpenBuffer(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        DatabasePtr db = open_database_buffer(f.image.data(), f.image.size());
        benchmark::DoNotOptimize(db.get());
    }
}

void BM_OpenFile(benchmark::State& state) {
    Fixture& f = fixture();
    std::string path = "sdb_bench_generated.sdb";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(f.image.data(), 1, f.image.size(), file) != f.image.size()) {
        state.SkipWithError("cannot write the generated database");
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    for (auto _ : state) {
        DatabasePtr db = open_database_file(path.c_str());
        benchmark::DoNotOptimize(db.get());
    }
    std::remove(path.c_str());
}

} // namespace

BENCHMARK(BM_LookupByIndex);
BENCHMARK(BM_LookupByScan);
BENCHMARK(BM_OpenBuffer);
BENCHMARK(BM_OpenFile);

BENCHMARK_MAIN();
