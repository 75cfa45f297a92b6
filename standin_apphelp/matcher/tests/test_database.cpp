// Builds database images in memory for the matcher tests.
#include "test_database.h"

sdb::DatabasePtr BuildDatabase(const sdb::Guid& id, bool indexed,
                               const std::function<void(sdb::Writer&)>& body, bool wildcardIndex) {
    sdb::WriterPtr writer = sdb::create_writer();
    if (indexed) {
        sdb::declare_index(*writer, sdb::TAG_EXE, sdb::TAG_NAME, 40000, true,
                           wildcardIndex ? sdb::TAG_WILDCARD_NAME : 0);
        if (wildcardIndex)
            sdb::declare_index(*writer, sdb::TAG_EXE, sdb::TAG_WILDCARD_NAME, 100, false);
        sdb::declare_index(*writer, sdb::TAG_LAYER, sdb::TAG_NAME, 100, true);
    }
    sdb::TAGID database = sdb::begin_list(*writer, sdb::TAG_DATABASE);
    sdb::write_string(*writer, sdb::TAG_NAME, u"Test database");
    sdb::write_guid(*writer, sdb::TAG_DATABASE_ID, id);
    body(*writer);
    sdb::end_list(*writer, database);
    std::vector<std::uint8_t> image;
    if (!sdb::close_to_buffer(*writer, &image))
        return nullptr;
    return sdb::open_database_bytes(std::move(image));
}

sdb::TAGID WriteLayer(sdb::Writer& writer, const std::u16string& name) {
    sdb::TAGID layer = sdb::begin_list(writer, sdb::TAG_LAYER);
    sdb::write_string(writer, sdb::TAG_NAME, name);
    sdb::TAGID shim = sdb::begin_list(writer, sdb::TAG_SHIM_REF);
    sdb::write_string(writer, sdb::TAG_NAME, u"SomeShim");
    sdb::end_list(writer, shim);
    sdb::end_list(writer, layer);
    return layer;
}

sdb::TAGID WriteExe(sdb::Writer& writer, const std::u16string& name,
                    const std::function<void(sdb::Writer&)>& body) {
    sdb::TAGID exe = sdb::begin_list(writer, sdb::TAG_EXE);
    sdb::write_string(writer, sdb::TAG_NAME, name);
    body(writer);
    sdb::end_list(writer, exe);
    return exe;
}

sdb::TAGID WriteWildcardExe(sdb::Writer& writer, const std::u16string& pattern,
                            const std::function<void(sdb::Writer&)>& body) {
    return WriteExe(writer, pattern, [&](sdb::Writer& w) {
        sdb::write_string(w, sdb::TAG_WILDCARD_NAME, pattern);
        body(w);
    });
}

void WriteMatchingFile(sdb::Writer& writer, const std::u16string& name,
                       const std::function<void(sdb::Writer&)>& body) {
    sdb::TAGID file = sdb::begin_list(writer, sdb::TAG_MATCHING_FILE);
    sdb::write_string(writer, sdb::TAG_NAME, name);
    body(writer);
    sdb::end_list(writer, file);
}

void WriteNestedLayer(sdb::Writer& writer, const std::u16string& name) {
    sdb::TAGID layer = sdb::begin_list(writer, sdb::TAG_LAYER);
    sdb::write_string(writer, sdb::TAG_NAME, name);
    sdb::end_list(writer, layer);
}

sdb::Guid TestGuid(std::uint32_t n) {
    sdb::Guid guid = {n, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
    return guid;
}
