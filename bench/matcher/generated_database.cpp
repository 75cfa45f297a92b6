// A generated database of the size of a Windows 10 system database, for the benchmarks.
#include "generated_database.h"

#include "sdb_guid.h"
#include "sdb_writer.h"

#include <cstdio>
#include <cstring>

namespace {

std::u16string Text(const char* text) {
    return std::u16string(text, text + std::strlen(text));
}

} // namespace

std::u16string GeneratedProgramName(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "program%05d.exe", i);
    return Text(text);
}

namespace {

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

} // namespace

std::vector<std::uint8_t> GeneratedDatabaseBytes(const std::u16string& name, const char* id) {
    sdb::WriterPtr w = sdb::create_writer();
    sdb::declare_index(*w, sdb::TAG_EXE, sdb::TAG_NAME, GeneratedEntries, true,
                       sdb::TAG_WILDCARD_NAME);
    sdb::declare_index(*w, sdb::TAG_EXE, sdb::TAG_WILDCARD_NAME, WildcardEntries, false);
    sdb::TAGID database = sdb::begin_list(*w, sdb::TAG_DATABASE);
    sdb::write_string(*w, sdb::TAG_NAME, name);
    sdb::Guid guid{};
    if (id != nullptr && sdb::parse_guid(id, &guid))
        sdb::write_guid(*w, sdb::TAG_DATABASE_ID, guid);
    for (int i = 0; i < GeneratedEntries; ++i)
        WriteEntry(*w, GeneratedProgramName(i), i, false);
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
        image.clear();
    return image;
}
