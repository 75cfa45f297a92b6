// Looking up an EXE by name in a database of 20,000 EXE entries (4 MB, the size of a
// Windows system database): through the index and by scanning all entries; the cost of
// opening such a database; sdbdump's text, XML and JSON dumps, --find and the audit, and
// sdbc's compile of the XML dump. `sdb_bench --write-database=FILE` writes the database for
// timing the commands themselves.
#include "audit.h"
#include "json_dump.h"
#include "sdb_audit.h"
#include "sdb_dump.h"
#include "sdb_index.h"
#include "sdb_writer.h"
#include "xml_dump.h"
#include "xml_image.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
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
// matching file with its version attributes and a shim reference.
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
        write_dword(*w, TAG_CHECKSUM, i * 2654435761u);
        write_qword(*w, TAG_BIN_FILE_VERSION, 0x0001000000000000ull + i);
        write_qword(*w, TAG_UPTO_BIN_PRODUCT_VERSION, 0x0002000000000000ull + i);
        write_dword(*w, TAG_LINK_DATE, 0x40000000u + i);
        write_string(*w, TAG_COMPANY_NAME, u"Company " + std::u16string(1, u'A' + i % 19));
        write_string(*w, TAG_PRODUCT_NAME, u"Product " + names[i]);
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

// sdbdump --find after opening: the lookup and the printing of each entry found.
void BM_FindCommand(benchmark::State& state) {
    Fixture& f = fixture();
    TAGID parent = database_list(*f.db);
    size_t n = 0;
    for (auto _ : state) {
        const std::u16string& name = f.names[(n++ * 7919) % f.names.size()];
        std::ostringstream out;
        KeySearch search;
        for (TAGID t = find_first_by_key(*f.db, parent, TAG_EXE, TAG_NAME, name.c_str(), &search);
             t != 0; t = find_next_by_key(*f.db, &search)) {
            dump_item(*f.db, t, out);
        }
        benchmark::DoNotOptimize(out.str().size());
    }
}

void BM_DumpText(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        std::ostringstream out;
        dump_database(*f.db, out);
        benchmark::DoNotOptimize(out.str().size());
    }
}

void BM_DumpXml(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        std::ostringstream out;
        dump_xml(*f.db, out);
        benchmark::DoNotOptimize(out.str().size());
    }
}

void BM_DumpJson(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        std::ostringstream out;
        dump_json(*f.db, out);
        benchmark::DoNotOptimize(out.str().size());
    }
}

// The audit and its lines; the database's fixes are harmless, so this is the cost of
// looking at every entry.
void BM_Audit(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        std::ostringstream out;
        write_audit_text("big.sdb", audit_database(*f.db), out);
        benchmark::DoNotOptimize(out.str().size());
    }
}

void BM_CompileXml(benchmark::State& state) {
    Fixture& f = fixture();
    std::ostringstream out;
    dump_xml(*f.db, out);
    std::string xml = out.str();
    for (auto _ : state) {
        pugi::xml_document document;
        CompileError error;
        std::vector<CompileError> notes;
        std::vector<uint8_t> image;
        if (!parse_xml(xml, &document, &error) ||
            !compile_file_xml(xml, document, &image, &error, &notes) || image != f.image) {
            state.SkipWithError("the XML does not compile back into the same bytes");
            break;
        }
    }
    state.counters["xml_bytes"] = static_cast<double>(xml.size());
}

} // namespace

BENCHMARK(BM_LookupByIndex);
BENCHMARK(BM_LookupByScan);
BENCHMARK(BM_OpenBuffer);
BENCHMARK(BM_OpenFile);
BENCHMARK(BM_FindCommand);
BENCHMARK(BM_DumpText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DumpXml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DumpJson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Audit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileXml)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    const char* option = "--write-database=";
    if (argc == 2 && std::strncmp(argv[1], option, std::strlen(option)) == 0) {
        return write_image_file(fixture().image, argv[1] + std::strlen(option)) ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
