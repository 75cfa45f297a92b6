// One match against a main database of 20,000 generated EXE entries and 880 wildcard ones
// (plus entries like the samples') and a custom database, next to computing the
// executable's attributes alone: the indexes find the candidates, so the match should cost
// little beyond the attributes and the trying of each pattern.
#include "file_checksum.h"
#include "matcher.h"
#include "path_attributes.h"

#include "sdb_writer.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const int GeneratedEntries = 20000;
const int WildcardEntries = 880;
const std::size_t ProgramSize = 256 * 1024;

void Put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
    std::memcpy(&image[at], &value, sizeof value);
}

// A PE image of ProgramSize bytes: headers, one section, filler.
std::vector<std::uint8_t> ProgramImage() {
    std::vector<std::uint8_t> image(ProgramSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    std::memset(image.data(), 0, 0x400);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, 0x80);
    std::memcpy(&image[0x80], "PE\0\0", 4);
    image[0x86] = 1;                // one section
    Put32(image, 0x88, 0x5F3A1B2C); // link date
    image[0x94] = 224;              // optional header size
    image[0x98] = 0x0B;             // PE32
    image[0x99] = 0x01;
    Put32(image, 0x98 + 64, 0x1234); // checksum
    Put32(image, 0x98 + 92, 16);
    std::size_t section = 0x98 + 224;
    Put32(image, section + 8, 0x1000);
    Put32(image, section + 12, 0x1000);
    Put32(image, section + 16, 0x1000);
    Put32(image, section + 20, 0x400);
    return image;
}

std::string WriteProgram() {
    char path[] = "/tmp/matcher-bench-XXXXXX";
    int fd = mkstemp(path);
    std::vector<std::uint8_t> image = ProgramImage();
    if (fd < 0 || write(fd, image.data(), image.size()) != static_cast<ssize_t>(image.size()))
        std::abort();
    close(fd);
    return path;
}

// The file's attributes as the engine computes them from its bytes, by positioned reads.
bool FileAttributesOf(const std::string& path, FileAttributes& attributes) {
    return ReadFileAttributesAtPath(path, attributes);
}

void WriteExe(sdb::Writer& w, const std::u16string& name, std::uint32_t size,
              bool wildcard = false) {
    sdb::TAGID exe = sdb::begin_list(w, sdb::TAG_EXE);
    sdb::write_string(w, sdb::TAG_NAME, name);
    if (wildcard)
        sdb::write_string(w, sdb::TAG_WILDCARD_NAME, name);
    sdb::TAGID file = sdb::begin_list(w, sdb::TAG_MATCHING_FILE);
    sdb::write_string(w, sdb::TAG_NAME, u"*");
    sdb::write_dword(w, sdb::TAG_SIZE, size);
    sdb::write_dword(w, sdb::TAG_LINK_DATE, 0x5F3A1B2C);
    sdb::end_list(w, file);
    sdb::TAGID layer = sdb::begin_list(w, sdb::TAG_LAYER);
    sdb::write_string(w, sdb::TAG_NAME, u"WinXPSp3");
    sdb::end_list(w, layer);
    sdb::end_list(w, exe);
}

sdb::DatabasePtr MainDatabase() {
    sdb::WriterPtr w = sdb::create_writer();
    sdb::declare_index(*w, sdb::TAG_EXE, sdb::TAG_NAME, GeneratedEntries + 3, true,
                       sdb::TAG_WILDCARD_NAME);
    sdb::declare_index(*w, sdb::TAG_EXE, sdb::TAG_WILDCARD_NAME, WildcardEntries, false);
    sdb::TAGID database = sdb::begin_list(*w, sdb::TAG_DATABASE);
    sdb::write_string(*w, sdb::TAG_NAME, u"Generated main database");
    sdb::write_guid(*w, sdb::TAG_DATABASE_ID, sdb::Guid{0x11111111, 0x1111, 0x1111, {0x11}});
    for (const char16_t* name : {u"WinXPSp3", u"RunAsInvoker"}) {
        sdb::TAGID layer = sdb::begin_list(*w, sdb::TAG_LAYER);
        sdb::write_string(*w, sdb::TAG_NAME, name);
        sdb::end_list(*w, layer);
    }
    // Sorted by name so that entries of one index key stay together.
    std::map<std::u16string, std::uint32_t> names;
    char text[32];
    for (int i = 0; i < GeneratedEntries; ++i) {
        std::snprintf(text, sizeof text, "program%05d.exe", i);
        names[std::u16string(text, text + std::strlen(text))] = 4096 + i;
    }
    names[u"bench.exe"] = ProgramSize;
    for (const auto& entry : names)
        WriteExe(*w, entry.first, entry.second);
    // As many patterns as a Windows 10 system database, some a bare `*` that every program
    // fits; their files' sizes keep them from matching.
    for (int i = 0; i < WildcardEntries; ++i) {
        std::snprintf(text, sizeof text,
                      i % 13 == 0  ? "*"
                      : i % 3 == 0 ? "setup%d*.exe"
                      : i % 3 == 1 ? "*install%d*"
                                   : "b%dnch??.exe",
                      i);
        WriteExe(*w, std::u16string(text, text + std::strlen(text)), 1000 + i, true);
    }
    sdb::end_list(*w, database);
    std::vector<std::uint8_t> image;
    sdb::close_to_buffer(*w, &image);
    return sdb::open_database_bytes(std::move(image));
}

sdb::DatabasePtr CustomDatabase() {
    sdb::WriterPtr w = sdb::create_writer();
    sdb::TAGID database = sdb::begin_list(*w, sdb::TAG_DATABASE);
    sdb::write_guid(*w, sdb::TAG_DATABASE_ID, sdb::Guid{0x22222222, 0x2222, 0x2222, {0x22}});
    WriteExe(*w, u"bench.exe", ProgramSize);
    sdb::end_list(*w, database);
    std::vector<std::uint8_t> image;
    sdb::close_to_buffer(*w, &image);
    return sdb::open_database_bytes(std::move(image));
}

struct Setup {
    std::string program = WriteProgram();
    sdb::DatabasePtr main = MainDatabase();
    sdb::DatabasePtr custom = CustomDatabase();
    ~Setup() { std::remove(program.c_str()); }
};

Setup& TheSetup() {
    static Setup setup;
    return setup;
}

void BM_FileAttributes(benchmark::State& state) {
    Setup& setup = TheSetup();
    for (auto _ : state) {
        FileAttributes attributes;
        benchmark::DoNotOptimize(FileAttributesOf(setup.program, attributes));
    }
}
BENCHMARK(BM_FileAttributes);

// Files beside the program: none in this benchmark.
struct NoOtherFiles : MatchWorld {
    FileState Attributes(const std::u16string&, const FileAttributes**) override {
        return FileState::Missing;
    }
};

// What one SdbGetMatchingExe does past the context (which keeps each database's lookup):
// the attributes of the file and the match over both databases.
void BM_MatchingExe(benchmark::State& state) {
    Setup& setup = TheSetup();
    sdb::ExeIndex mainIndex(*setup.main), customIndex(*setup.custom);
    std::vector<MatcherDatabase> databases = {{setup.main.get(), 0, true, &mainIndex},
                                              {setup.custom.get(), 1, true, &customIndex}};
    NoOtherFiles world;
    for (auto _ : state) {
        FileAttributes attributes;
        FileAttributesOf(setup.program, attributes);
        MatchRequest request;
        request.program.path = u"C:\\bench\\bench.exe";
        request.program.attributes = &attributes;
        QueryRecord record = EmptyQueryRecord();
        if (!MatchEntries(databases, request, world, record) || record.exeCount != 2)
            state.SkipWithError("the generated entries did not match");
        benchmark::DoNotOptimize(record);
    }
}
BENCHMARK(BM_MatchingExe);

} // namespace

BENCHMARK_MAIN();
