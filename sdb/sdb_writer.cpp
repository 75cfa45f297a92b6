// Writing shim databases into memory, then to a buffer or a file.
#include "sdb_writer.h"

#include "sdb_image.h"
#include "sdb_index.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

namespace sdb {

namespace {

struct DeclaredIndex {
    TAG tag;
    TAG key_tag;
    uint32_t capacity;
    bool unique;
    TAG left_out;  // lists with a child of this tag are not indexed; 0 for none
    uint32_t bits; // offset of the reserved INDEX_BITS data
    std::vector<IndexRecord> records;
};

// Images stay below 4 GiB so that every offset fits a TAGID.
const uint64_t IMAGE_LIMIT = 0xFFFFFFF0u;

} // namespace

struct Writer {
    std::vector<uint8_t> image;
    std::vector<TAGID> open_lists;
    std::vector<DeclaredIndex> indexes;
    TAGID indexes_list = 0;
    bool started = false; // an item other than the indexes has been written
    bool closed = false;
    // The string table: entries in order, and each string's reference.
    std::vector<std::u16string> strings;
    std::unordered_map<std::u16string, uint32_t> string_refs;
    std::unordered_map<uint32_t, size_t> ref_strings;
    uint64_t table_size = 0;
    std::string error;
};

void WriterDeleter::operator()(Writer* writer) const {
    delete writer;
}

WriterPtr create_writer(uint32_t major) {
    if (major != 2 && major != 3) {
        return nullptr;
    }
    WriterPtr writer(new Writer);
    put32(writer->image, major);
    put32(writer->image, major == 2 ? 1 : 0);
    for (char c : {'s', 'd', 'b', 'f'}) {
        writer->image.push_back(static_cast<uint8_t>(c));
    }
    return writer;
}

TAGID next_tagid(const Writer& writer) {
    return static_cast<TAGID>(writer.image.size());
}

// Whether `extra` more bytes keep the image, with its string table, addressable.
static bool room_for(Writer& writer, uint64_t extra) {
    if (writer.image.size() + writer.table_size + extra > IMAGE_LIMIT) {
        writer.error = "the database would reach 4 GiB";
        return false;
    }
    return true;
}

static TAGID open_list(Writer& writer, TAG tag) {
    TAGID list = next_tagid(writer);
    put16(writer.image, tag);
    put32(writer.image, 0);
    writer.open_lists.push_back(list);
    return list;
}

static void close_list(Writer& writer, TAGID list) {
    store32(writer.image, list + 2, static_cast<uint32_t>(writer.image.size() - (list + 6)));
    writer.open_lists.pop_back();
}

// Ends the declaration of indexes before the first other item.
static bool start_items(Writer& writer, uint64_t length) {
    if (writer.closed || !room_for(writer, length)) {
        return false;
    }
    if (!writer.started && writer.indexes_list != 0) {
        close_list(writer, writer.indexes_list);
    }
    writer.started = true;
    return true;
}

static bool key_type_ok(TAG key_tag) {
    TAG type = tag_type(key_tag);
    return type == TAG_TYPE_STRINGREF || type == TAG_TYPE_STRING || type == TAG_TYPE_WORD ||
           type == TAG_TYPE_DWORD || type == TAG_TYPE_QWORD || type == TAG_TYPE_BINARY;
}

bool declare_index(Writer& writer, TAG tag, TAG key_tag, uint32_t capacity, bool unique,
                   TAG left_out) {
    uint64_t bits_size = uint64_t{capacity} * INDEX_RECORD_SIZE;
    if (writer.started || writer.closed || tag_type(tag) != TAG_TYPE_LIST ||
        !key_type_ok(key_tag) || !room_for(writer, bits_size + 64)) {
        return false;
    }
    if (writer.indexes_list == 0) {
        writer.indexes_list = open_list(writer, TAG_INDEXES);
    }
    TAGID index = open_list(writer, TAG_INDEX);
    put16(writer.image, TAG_INDEX_TAG);
    put16(writer.image, tag);
    put16(writer.image, TAG_INDEX_KEY);
    put16(writer.image, key_tag);
    put16(writer.image, TAG_INDEX_FLAGS);
    put32(writer.image, unique ? INDEX_FLAG_UNIQUE_KEY : 0);
    put16(writer.image, TAG_INDEX_BITS);
    put32(writer.image, static_cast<uint32_t>(bits_size));
    DeclaredIndex declared{tag, key_tag, capacity, unique, left_out, next_tagid(writer), {}};
    writer.image.resize(writer.image.size() + static_cast<size_t>(bits_size));
    close_list(writer, index);
    writer.indexes.push_back(declared);
    return true;
}

TAGID begin_list(Writer& writer, TAG tag) {
    if (tag_type(tag) != TAG_TYPE_LIST || !start_items(writer, 6)) {
        return 0;
    }
    return open_list(writer, tag);
}

// The key of a list's `key_tag` child, read back from the image; false when it has none
// or when it has a child of the index's left-out tag.
static bool list_key(const Writer& writer, TAGID list, const DeclaredIndex& index, uint64_t* key) {
    Database view;
    view.image = writer.image.data();
    view.size = static_cast<uint32_t>(writer.image.size());
    view.major = 2;
    if (index.left_out != 0 && find_first_tag(view, list, index.left_out) != 0) {
        return false;
    }
    TAGID child = find_first_tag(view, list, index.key_tag);
    Item item;
    if (child == 0 || decode_item(view, child, view.size, &item) != ItemFault::None) {
        return false;
    }
    TAG type = tag_type(item.tag);
    if (type == TAG_TYPE_STRINGREF) {
        // The string table is not in the image yet.
        *key = string_key(
            writer.strings[writer.ref_strings.at(load32(view.image + item.data))].c_str());
    } else if (type == TAG_TYPE_STRING) {
        *key = string_key(string_in(view, item));
    } else {
        // Numbers and binary data: their first 8 bytes, little-endian.
        uint8_t bytes[8] = {};
        std::copy(view.image + item.data, view.image + item.data + std::min<uint32_t>(item.size, 8),
                  bytes);
        *key = load64(bytes);
    }
    return true;
}

bool end_list(Writer& writer, TAGID list) {
    if (writer.closed || !writer.started || writer.open_lists.empty() ||
        writer.open_lists.back() != list) {
        return false;
    }
    close_list(writer, list);
    TAG tag = load16(writer.image.data() + list);
    for (DeclaredIndex& index : writer.indexes) {
        uint64_t key = 0;
        if (index.tag == tag && list_key(writer, list, index, &key)) {
            index.records.push_back(IndexRecord{key, list});
        }
    }
    return true;
}

// Writes the tag of a fixed-size item after checking its type.
static bool start_fixed(Writer& writer, TAG tag, TAG type, uint32_t data_size) {
    if (tag_type(tag) != type || !start_items(writer, 2 + data_size)) {
        return false;
    }
    put16(writer.image, tag);
    return true;
}

bool write_null(Writer& writer, TAG tag) {
    return start_fixed(writer, tag, TAG_TYPE_NULL, 0);
}

bool write_word(Writer& writer, TAG tag, uint16_t value) {
    if (!start_fixed(writer, tag, TAG_TYPE_WORD, 2)) {
        return false;
    }
    put16(writer.image, value);
    return true;
}

bool write_dword(Writer& writer, TAG tag, uint32_t value) {
    if (!start_fixed(writer, tag, TAG_TYPE_DWORD, 4)) {
        return false;
    }
    put32(writer.image, value);
    return true;
}

bool write_qword(Writer& writer, TAG tag, uint64_t value) {
    if (!start_fixed(writer, tag, TAG_TYPE_QWORD, 8)) {
        return false;
    }
    put64(writer.image, value);
    return true;
}

// Bytes of a string item's data: the units and the NUL.
static uint64_t string_bytes(const std::u16string& text) {
    return (uint64_t{text.size()} + 1) * 2;
}

static void put_string_data(std::vector<uint8_t>& out, const std::u16string& text) {
    for (char16_t unit : text) {
        put16(out, unit);
    }
    put16(out, 0);
}

// The string-table reference of a text, adding it on first use.
static bool string_ref(Writer& writer, const std::u16string& text, uint32_t* ref) {
    auto found = writer.string_refs.find(text);
    if (found != writer.string_refs.end()) {
        *ref = found->second;
        return true;
    }
    if (!room_for(writer, 6 + string_bytes(text))) {
        return false;
    }
    *ref = static_cast<uint32_t>(6 + writer.table_size);
    writer.table_size += 6 + string_bytes(text);
    writer.ref_strings.emplace(*ref, writer.strings.size());
    writer.strings.push_back(text);
    writer.string_refs.emplace(text, *ref);
    return true;
}

bool write_string(Writer& writer, TAG tag, const std::u16string& text) {
    // A NUL inside would cut the text short for every reader.
    if (text.find(u'\0') != std::u16string::npos) {
        return false;
    }
    if (tag_type(tag) == TAG_TYPE_STRINGREF) {
        // The entry first, so that a failure leaves no tag without its value.
        uint32_t ref = 0;
        if (writer.closed || !string_ref(writer, text, &ref) ||
            !start_fixed(writer, tag, TAG_TYPE_STRINGREF, 4)) {
            return false;
        }
        put32(writer.image, ref);
        return true;
    }
    if (tag_type(tag) != TAG_TYPE_STRING || !start_items(writer, 6 + string_bytes(text))) {
        return false;
    }
    put16(writer.image, tag);
    put32(writer.image, static_cast<uint32_t>(string_bytes(text)));
    put_string_data(writer.image, text);
    return true;
}

bool write_binary(Writer& writer, TAG tag, const void* data, size_t size) {
    uint64_t padded = uint64_t{size} + (size & 1u);
    if (tag_type(tag) != TAG_TYPE_BINARY || !start_items(writer, 6 + padded)) {
        return false;
    }
    put16(writer.image, tag);
    put32(writer.image, static_cast<uint32_t>(padded));
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    writer.image.insert(writer.image.end(), bytes, bytes + size);
    if ((size & 1u) != 0) {
        writer.image.push_back(0);
    }
    return true;
}

bool write_guid(Writer& writer, TAG tag, const Guid& guid) {
    uint8_t bytes[GUID_BYTES];
    guid_to_bytes(guid, bytes);
    return write_binary(writer, tag, bytes, sizeof bytes);
}

const std::string& writer_error(const Writer& writer) {
    return writer.error;
}

static bool fill_index(Writer& writer, DeclaredIndex& index) {
    std::vector<IndexRecord>& records = index.records;
    std::sort(records.begin(), records.end(), [](const IndexRecord& a, const IndexRecord& b) {
        return a.key != b.key ? a.key < b.key : a.tagid < b.tagid;
    });
    if (index.unique) {
        records.erase(
            std::unique(records.begin(), records.end(),
                        [](const IndexRecord& a, const IndexRecord& b) { return a.key == b.key; }),
            records.end());
    }
    if (records.size() > index.capacity) {
        writer.error = "index of " + std::string(tag_name(index.tag) ? tag_name(index.tag) : "?") +
                       " holds " + std::to_string(records.size()) + " records, room for " +
                       std::to_string(index.capacity);
        return false;
    }
    for (uint32_t n = 0; n < index.capacity; ++n) {
        size_t at = index.bits + size_t{n} * INDEX_RECORD_SIZE;
        bool used = n < records.size();
        store64(writer.image, at + INDEX_RECORD_KEY, used ? records[n].key : ~uint64_t{0});
        store32(writer.image, at + INDEX_RECORD_TAGID, used ? records[n].tagid : 0);
    }
    return true;
}

bool close_to_buffer(Writer& writer, std::vector<uint8_t>* image) {
    if (writer.closed) {
        writer.error = "the database is already closed";
        return false;
    }
    if (!writer.started && writer.indexes_list != 0) {
        close_list(writer, writer.indexes_list);
        writer.started = true;
    }
    if (!writer.open_lists.empty()) {
        writer.error = "a list is still open";
        return false;
    }
    if (!room_for(writer, 6)) {
        return false;
    }
    for (DeclaredIndex& index : writer.indexes) {
        if (!fill_index(writer, index)) {
            return false;
        }
    }
    writer.closed = true;
    TAGID table = open_list(writer, TAG_STRINGTABLE);
    for (const std::u16string& text : writer.strings) {
        put16(writer.image, TAG_STRINGTABLE_ITEM);
        put32(writer.image, static_cast<uint32_t>(string_bytes(text)));
        put_string_data(writer.image, text);
    }
    close_list(writer, table);
    *image = std::move(writer.image);
    writer.image.clear();
    return true;
}

bool write_image_file(const std::vector<uint8_t>& image, const char* path) {
    std::string temporary = std::string(path) + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    bool ok = file != nullptr && std::fwrite(image.data(), 1, image.size(), file) == image.size();
    ok = file != nullptr && std::fclose(file) == 0 && ok;
    // Renaming over an existing file fails on Windows: remove it first there.
    if (ok && std::rename(temporary.c_str(), path) != 0) {
        ok = std::remove(path) == 0 && std::rename(temporary.c_str(), path) == 0;
    }
    if (!ok) {
        std::remove(temporary.c_str());
    }
    return ok;
}

bool close_to_file(Writer& writer, const char* path) {
    std::vector<uint8_t> image;
    if (!close_to_buffer(writer, &image)) {
        return false;
    }
    if (!write_image_file(image, path)) {
        writer.error = std::string("cannot write ") + path;
        return false;
    }
    return true;
}

} // namespace sdb
