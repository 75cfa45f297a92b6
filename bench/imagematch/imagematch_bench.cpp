// Benchmark: quillet-match --image over a generated image of 100,000 small programs.
//
// The image: a 4 MB generated main database (20,000 entries, 900 wildcard patterns) in both
// AppPatch folders, two registered custom databases, and 100,000 small PE files of mixed
// names (entries' names, pattern-like names, others, DLLs), versions and companies, in
// folders up to eleven deep, in two halves of 50,000. The program is run whole (JSON to
// /dev/null), best of three, on one half and then on both: files per second, and the cost
// ratio of 100,000 to 50,000 files. The image is built once in the temporary folder ($TMPDIR) and
// kept.
#include "generated_database.h"
#include "test_hive.h"
#include "test_images.h"

#include "sdb_guid.h"
#include "sdb_writer.h"

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const int Files = 100000;
const char* const Sysmain = "{11111111-1111-1111-1111-111111111111}";
const char* const CustomIds[] = {"{0000c001-0000-0000-0000-000000000000}",
                                 "{0000c002-0000-0000-0000-000000000000}"};
const char* const AppCompat = "Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags";

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A custom database: 500 entries of generated names, and a `*` entry for one company.
std::vector<std::uint8_t> CustomDatabase(const char* id, int first) {
    sdb::WriterPtr w = sdb::create_writer();
    sdb::declare_index(*w, sdb::TAG_EXE, sdb::TAG_NAME, 600, true, sdb::TAG_WILDCARD_NAME);
    sdb::declare_index(*w, sdb::TAG_EXE, sdb::TAG_WILDCARD_NAME, 10, false);
    sdb::TAGID database = sdb::begin_list(*w, sdb::TAG_DATABASE);
    sdb::write_string(*w, sdb::TAG_NAME, u"Generated custom database");
    sdb::Guid guid{};
    sdb::parse_guid(id, &guid);
    sdb::write_guid(*w, sdb::TAG_DATABASE_ID, guid);
    for (int i = 0; i < 501; ++i) {
        sdb::TAGID exe = sdb::begin_list(*w, sdb::TAG_EXE);
        std::u16string name = i == 500 ? u"*" : GeneratedProgramName(first + i * 3);
        sdb::write_string(*w, sdb::TAG_NAME, name);
        if (i == 500)
            sdb::write_string(*w, sdb::TAG_WILDCARD_NAME, name);
        sdb::TAGID file = sdb::begin_list(*w, sdb::TAG_MATCHING_FILE);
        sdb::write_string(*w, sdb::TAG_NAME, u"*");
        sdb::write_string(*w, sdb::TAG_COMPANY_NAME, u"Contoso*");
        sdb::end_list(*w, file);
        sdb::TAGID shim = sdb::begin_list(*w, sdb::TAG_SHIM_REF);
        sdb::write_string(*w, sdb::TAG_NAME, u"CorrectFilePaths");
        sdb::end_list(*w, shim);
        sdb::end_list(*w, exe);
    }
    sdb::end_list(*w, database);
    std::vector<std::uint8_t> image;
    sdb::close_to_buffer(*w, &image);
    return image;
}

// The generated program's bytes: a PE with a version block whose company and file version
// vary with `variant` (texts of one length, so that the block's layout stays).
std::vector<std::uint8_t> Program(int variant) {
    test_images::PeOptions options;
    options.version = test_images::VersionBlock();
    std::vector<std::uint8_t> image = test_images::BuildPe(options);
    const std::u16string from = u"Northwind Graphics";
    const std::u16string to[] = {u"Northwind Graphics", u"Contoso Limited Co", u"Fabrikam Software",
                                 u"Litware Inc.      "};
    const std::u16string& company = to[variant % 4];
    for (std::size_t at = 0; at + from.size() * 2 <= image.size(); ++at) {
        bool same = true;
        for (std::size_t i = 0; same && i < from.size(); ++i)
            same = image[at + 2 * i] == (from[i] & 0xFF) && image[at + 2 * i + 1] == 0;
        if (!same)
            continue;
        for (std::size_t i = 0; i < from.size(); ++i)
            image[at + 2 * i] = static_cast<std::uint8_t>(i < company.size() ? company[i] : ' ');
        break;
    }
    // VS_FIXEDFILEINFO: its signature, then the structure version, then the file version.
    for (std::size_t at = 0; at + 16 <= image.size(); at += 4) {
        if (image[at] == 0xBD && image[at + 1] == 0x04 && image[at + 2] == 0xEF &&
            image[at + 3] == 0xFE) {
            test_images::Put32(image, at + 8, 0x00010000u + static_cast<std::uint32_t>(variant));
            break;
        }
    }
    return image;
}

std::string FileName(int i) {
    char text[40];
    switch (i % 4) {
    case 0: {
        std::u16string name = GeneratedProgramName((i * 7) % GeneratedEntries);
        return std::string(name.begin(), name.end());
    }
    case 1:
        std::snprintf(text, sizeof text, "setup%dx.exe", i % 900);
        break;
    case 2:
        std::snprintf(text, sizeof text, "app%d.exe", i);
        break;
    default:
        std::snprintf(text, sizeof text, "lib%d.dll", i % 5000);
        break;
    }
    return text;
}

fs::path BuildImage() {
    fs::path root = fs::temp_directory_path() / "quillet-imagematch-bench";
    if (fs::exists(root / "complete"))
        return root;
    fs::remove_all(root);
    fs::path apppatch = root / "Windows" / "AppPatch";
    fs::create_directories(apppatch / "AppPatch64");
    fs::create_directories(apppatch / "Custom");
    fs::create_directories(root / "Windows" / "SysWOW64");
    fs::create_directories(root / "Windows" / "System32" / "config");
    std::vector<std::uint8_t> main = GeneratedDatabaseBytes(
        u"Microsoft Windows Application Compatibility Fix Database", Sysmain);
    WriteFile(apppatch / "sysmain.sdb", main);
    WriteFile(apppatch / "AppPatch64" / "sysmain.sdb", main);
    TestHive software;
    software.key("Microsoft\\Windows NT\\CurrentVersion",
                 {{"CurrentBuildNumber", 1, utf16("19045")}});
    for (int i = 0; i < 2; ++i) {
        std::string file = std::string(CustomIds[i]) + ".sdb";
        WriteFile(apppatch / "Custom" / file, CustomDatabase(CustomIds[i], i));
        software.key(std::string(AppCompat) + "\\InstalledSDB\\" + CustomIds[i],
                     {{"DatabasePath", 1, utf16("C:\\Windows\\AppPatch\\Custom\\" + file)}});
    }
    software.write((root / "Windows" / "System32" / "config" / "SOFTWARE").string());
    std::vector<std::vector<std::uint8_t>> programs;
    for (int variant = 0; variant < 8; ++variant)
        programs.push_back(Program(variant));
    for (int i = 0; i < Files; ++i) {
        // A hundred files to a folder, below it up to seven more levels.
        fs::path folder = root / "Program Files" / "Gen" / (i < Files / 2 ? "a" : "b") /
                          ("d" + std::to_string(i / 100));
        for (int depth = 0; depth < i % 8; ++depth)
            folder /= "s" + std::to_string(depth);
        fs::create_directories(folder);
        WriteFile(folder / FileName(i), programs[static_cast<std::size_t>((i / 4) % 8)]);
    }
    std::ofstream(root / "complete") << "built\n";
    return root;
}

// Seconds one run of quillet-match takes over the folder, its output thrown away.
double Run(const fs::path& root, const std::string& folder, const std::string& more) {
    std::string command = std::string(QUILLET_MATCH) + " --image " + root.string() + " --json " +
                          more + " \"" + folder + "\" >/dev/null 2>&1";
    auto start = std::chrono::steady_clock::now();
    int status = std::system(command.c_str());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "imagematch_bench: %s failed\n", command.c_str());
        std::exit(1);
    }
    return seconds;
}

double Best(const fs::path& root, const std::string& folder, const std::string& more) {
    double best = Run(root, folder, more);
    for (int i = 0; i < 2; ++i)
        best = std::min(best, Run(root, folder, more));
    return best;
}

} // namespace

int main(int argc, char** argv) {
    bool buildOnly = argc > 1 && std::strcmp(argv[1], "--image-only") == 0;
    fs::path root = BuildImage();
    std::printf("image %s\n", root.string().c_str());
    if (buildOnly)
        return 0;
    Run(root, "Program Files\\Gen", ""); // into the page cache
    for (const char* jobs : {"", "--jobs 1"}) {
        double half = Best(root, "Program Files\\Gen\\a", jobs);
        double whole = Best(root, "Program Files\\Gen", jobs);
        std::printf("%-9s 50,000 files: %.2f s (%.0f files/s); 100,000 files: %.2f s (%.0f "
                    "files/s); ratio %.2f\n",
                    *jobs != 0 ? jobs : "all cores", half, Files / 2 / half, whole, Files / whole,
                    whole / half);
    }
    return 0;
}
