// Shim databases written for the inventory's tests through the format library's writer.
#include "test_database.h"

#include "sdb_text.h"
#include "sdb_writer.h"

#include <stdexcept>

namespace {

std::u16string u16(const std::string& text) {
    std::u16string out;
    sdb::from_utf8(text, &out);
    return out;
}

void name_list(sdb::Writer& writer, sdb::TAG tag, const std::string& name) {
    sdb::TAGID list = sdb::begin_list(writer, tag);
    sdb::write_string(writer, sdb::TAG_NAME, u16(name));
    sdb::end_list(writer, list);
}

} // namespace

std::vector<uint8_t> database_bytes(const TestDatabase& wanted) {
    sdb::WriterPtr writer = sdb::create_writer();
    sdb::TAGID database = sdb::begin_list(*writer, sdb::TAG_DATABASE);
    if (wanted.time != 0) {
        sdb::write_qword(*writer, sdb::TAG_TIME, wanted.time);
    }
    if (!wanted.compiler.empty()) {
        sdb::write_string(*writer, sdb::TAG_COMPILER_VERSION, u16(wanted.compiler));
    }
    if (!wanted.name.empty()) {
        sdb::write_string(*writer, sdb::TAG_NAME, u16(wanted.name));
    }
    sdb::Guid id{};
    if (!wanted.id.empty() && sdb::parse_guid(wanted.id, &id)) {
        sdb::write_guid(*writer, sdb::TAG_DATABASE_ID, id);
    }
    sdb::TAGID library = sdb::begin_list(*writer, sdb::TAG_LIBRARY);
    for (const std::string& shim : wanted.shims) {
        name_list(*writer, sdb::TAG_SHIM, shim);
    }
    sdb::end_list(*writer, library);
    for (const TestLayer& layer : wanted.layers) {
        sdb::TAGID list = sdb::begin_list(*writer, sdb::TAG_LAYER);
        sdb::write_string(*writer, sdb::TAG_NAME, u16(layer.name));
        for (const std::string& shim : layer.shims) {
            name_list(*writer, sdb::TAG_SHIM_REF, shim);
        }
        sdb::end_list(*writer, list);
    }
    for (const std::string& exe : wanted.exes) {
        name_list(*writer, sdb::TAG_EXE, exe);
    }
    sdb::end_list(*writer, database);
    std::vector<uint8_t> image;
    if (!sdb::close_to_buffer(*writer, &image)) {
        throw std::runtime_error("the test database cannot be written");
    }
    return image;
}
