// Opening shim databases, navigation by TAGID and typed reads.
#include "sdb_image.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace sdb {

void DatabaseCloser::operator()(Database* db) const {
    delete db;
}

const char* open_error_text(OpenError error) {
    switch (error) {
    case OpenError::None:
        return "no error";
    case OpenError::Unreadable:
        return "the file cannot be read";
    case OpenError::TooLarge:
        return "the file is 4 GiB or larger";
    case OpenError::TooSmall:
        return "the file is shorter than the 12-byte header";
    case OpenError::Compressed:
        return "compressed databases (magic \"zdbf\") are not supported";
    case OpenError::BadMagic:
        return "no \"sdbf\" magic in the header";
    case OpenError::UnsupportedVersion:
        return "unsupported major version (2 and 3 are read)";
    }
    return "unknown error";
}

int fixed_data_size(TAG tag) {
    switch (tag_type(tag)) {
    case TAG_TYPE_NULL:
        return 0;
    case TAG_TYPE_BYTE:
        return 1;
    case TAG_TYPE_WORD:
        return 2;
    case TAG_TYPE_DWORD:
    case TAG_TYPE_STRINGREF:
        return 4;
    case TAG_TYPE_QWORD:
        return 8;
    default:
        return -1;
    }
}

ItemFault decode_item(const Database& db, TAGID tagid, uint32_t limit, Item* item) {
    if (tagid < HEADER_SIZE || (tagid & 1u) != 0 || limit > db.size) {
        return ItemFault::PastEnd;
    }
    // 64-bit arithmetic: a size near 4 GiB must not wrap past the limit.
    uint64_t at = tagid;
    if (at + 2 > limit) {
        return ItemFault::PastEnd;
    }
    TAG tag = load16(db.image + tagid);
    uint64_t data = at + 2;
    uint64_t size = 0;
    if (tag_has_size(tag)) {
        if (data + 4 > limit) {
            return ItemFault::PastEnd;
        }
        size = load32(db.image + data);
        data += 4;
    } else {
        int fixed = fixed_data_size(tag);
        if (fixed < 0) {
            return ItemFault::UnknownType;
        }
        size = static_cast<uint64_t>(fixed);
    }
    if (data + size > limit) {
        return ItemFault::PastEnd;
    }
    item->tag = tag;
    item->data = static_cast<uint32_t>(data);
    item->size = static_cast<uint32_t>(size);
    item->end = static_cast<uint32_t>(data + size);
    return ItemFault::None;
}

static bool decode(const Database& db, TAGID tagid, Item* item) {
    return decode_item(db, tagid, db.size, item) == ItemFault::None;
}

bool child_range(const Database& db, TAGID parent, uint32_t* first, uint32_t* end) {
    if (parent == TAGID_ROOT) {
        *first = HEADER_SIZE;
        *end = db.size;
        return true;
    }
    // The top-level lists keep what is readable of them even when cut by damage.
    const uint32_t tops[][2] = {{db.database, db.database_end},
                                {db.stringtable, db.stringtable_end},
                                {db.indexes, db.indexes_end}};
    for (const uint32_t* top : tops) {
        if (parent == top[0]) {
            *first = parent + 6;
            *end = top[1];
            return true;
        }
    }
    Item list;
    if (!decode(db, parent, &list) || tag_type(list.tag) != TAG_TYPE_LIST) {
        return false;
    }
    *first = list.data;
    *end = list.end;
    return true;
}

const char16_t* string_in(const Database& db, const Item& item) {
    if (tag_type(item.tag) != TAG_TYPE_STRING) {
        return nullptr;
    }
    // Items sit on even offsets of an image at an even address, so the text is aligned.
    const uint8_t* p = db.image + item.data;
    for (uint32_t i = 0; i + 1 < item.size; i += 2) {
        if (p[i] == 0 && p[i + 1] == 0) {
            return reinterpret_cast<const char16_t*>(p);
        }
    }
    return nullptr;
}

// --- Opening ------------------------------------------------------------------------------

// Notes a top-level list whose children are readable up to `end`; the first of each tag
// counts.
static void note_top_list(Database& db, TAGID list, uint32_t end) {
    TAGID* slot = nullptr;
    uint32_t* slot_end = nullptr;
    switch (load16(db.image + list)) {
    case TAG_DATABASE:
        slot = &db.database;
        slot_end = &db.database_end;
        break;
    case TAG_STRINGTABLE:
        slot = &db.stringtable;
        slot_end = &db.stringtable_end;
        break;
    case TAG_INDEXES:
        slot = &db.indexes;
        slot_end = &db.indexes_end;
        break;
    default:
        return;
    }
    if (*slot == 0) {
        *slot = list;
        *slot_end = end;
    }
}

// The readable end of a STRINGTABLE list at `at` whose children are all STRINGTABLE_ITEMs,
// at least one of them whole, up to the list's end, or up to the end of the file when the
// list is cut there; 0 when there is no such list.
static uint32_t string_table_end(const Database& db, uint32_t at) {
    if (uint64_t{at} + 6 > db.size || load16(db.image + at) != TAG_STRINGTABLE) {
        return 0;
    }
    uint64_t claimed = uint64_t{at} + 6 + load32(db.image + at + 2);
    uint32_t end = claimed < db.size ? static_cast<uint32_t>(claimed) : db.size;
    uint32_t next = at + 6;
    unsigned whole = 0;
    Item item;
    while (next < end && decode_item(db, next, end, &item) == ItemFault::None &&
           item.tag == TAG_STRINGTABLE_ITEM) {
        next = align_even(item.end);
        ++whole;
    }
    // Only the file's end may cut an entry short.
    bool cut_entry = end == db.size && uint64_t{next} + 2 <= end &&
                     load16(db.image + next) == TAG_STRINGTABLE_ITEM;
    return whole > 0 && (next >= end || cut_entry) ? end : 0;
}

// Notes where the top-level lists are. Damage does not hide what can be read: a list cut by
// the end of the file keeps the children that fit, and a string table that the top-level
// items no longer lead to (after an item that cannot be read, or swallowed by an enlarged
// list) is found by its contents.
static void find_top_lists(Database& db) {
    uint32_t at = HEADER_SIZE;
    uint32_t last_data = HEADER_SIZE; // where the data of the last top-level list starts
    while (at < db.size) {
        Item item;
        ItemFault fault = decode_item(db, at, db.size, &item);
        if (fault != ItemFault::None) {
            db.stopped = at;
            db.stopped_unknown_type = fault == ItemFault::UnknownType;
            if (uint64_t{at} + 6 <= db.size && tag_type(load16(db.image + at)) == TAG_TYPE_LIST) {
                note_top_list(db, at, db.size);
                last_data = at + 6;
            }
            break;
        }
        if (tag_type(item.tag) == TAG_TYPE_LIST) {
            note_top_list(db, at, item.end);
            last_data = item.data;
        }
        at = align_even(item.end);
    }
    // Strings matter only for the entries of a DATABASE.
    for (uint32_t t = align_even(last_data);
         db.database != 0 && db.stringtable == 0 && uint64_t{t} + 6 <= db.size; t += 2) {
        uint32_t end = string_table_end(db, t);
        if (end != 0) {
            note_top_list(db, t, end);
        }
    }
    // A DATABASE enlarged over the string table ends where the table starts.
    if (db.database != 0 && db.stringtable > db.database && db.stringtable < db.database_end) {
        db.database_end = db.stringtable;
    }
}

static DatabasePtr open_image(DatabasePtr db, OpenError* error) {
    OpenError result = OpenError::None;
    if (db->size < HEADER_SIZE) {
        result = OpenError::TooSmall;
    } else if (std::memcmp(db->image + 8, "zdbf", 4) == 0) {
        result = OpenError::Compressed;
    } else if (std::memcmp(db->image + 8, "sdbf", 4) != 0) {
        result = OpenError::BadMagic;
    } else {
        db->major = load32(db->image);
        db->minor = load32(db->image + 4);
        if (db->major != 2 && db->major != 3) {
            result = OpenError::UnsupportedVersion;
        }
    }
    if (error != nullptr) {
        *error = result;
    }
    if (result != OpenError::None) {
        return nullptr;
    }
    find_top_lists(*db);
    return db;
}

// False, with the error, for an image of 4 GiB or more: TAGIDs cannot address it.
static bool addressable(size_t size, OpenError* error) {
    if (size > 0xFFFFFFFFu) {
        if (error != nullptr) {
            *error = OpenError::TooLarge;
        }
        return false;
    }
    return true;
}

DatabasePtr open_database_bytes(std::vector<uint8_t> bytes, OpenError* error) {
    if (!addressable(bytes.size(), error)) {
        return nullptr;
    }
    DatabasePtr db(new Database);
    db->owned = std::move(bytes);
    db->image = db->owned.data();
    db->size = static_cast<uint32_t>(db->owned.size());
    return open_image(std::move(db), error);
}

DatabasePtr open_database_buffer(const void* data, size_t size, OpenError* error) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if ((reinterpret_cast<uintptr_t>(bytes) & 1u) != 0) {
        return open_database_bytes(std::vector<uint8_t>(bytes, bytes + size), error);
    }
    if (!addressable(size, error)) {
        return nullptr;
    }
    DatabasePtr db(new Database);
    db->image = bytes;
    db->size = static_cast<uint32_t>(size);
    return open_image(std::move(db), error);
}

// Reads the whole file with one read.
static DatabasePtr open_stream(std::FILE* file, OpenError* error) {
    std::vector<uint8_t> bytes;
    OpenError result = OpenError::None;
    // A directory opens on some systems, but its first read fails.
    bool ok = file != nullptr && (std::fgetc(file) != EOF || !std::ferror(file)) &&
              std::fseek(file, 0, SEEK_END) == 0;
    long length = ok ? std::ftell(file) : -1;
    ok = ok && length >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok && static_cast<unsigned long>(length) > 0xFFFFFFFFul) {
        result = OpenError::TooLarge;
    } else if (ok) {
        try {
            bytes.resize(static_cast<size_t>(length));
            ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
        } catch (const std::bad_alloc&) {
            result = OpenError::TooLarge;
        }
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    if (result == OpenError::None && !ok) {
        result = OpenError::Unreadable;
    }
    if (result != OpenError::None) {
        if (error != nullptr) {
            *error = result;
        }
        return nullptr;
    }
    return open_database_bytes(std::move(bytes), error);
}

DatabasePtr open_database_file(const char* path, OpenError* error) {
    return open_stream(std::fopen(path, "rb"), error);
}

#ifdef _WIN32
DatabasePtr open_database_file(const wchar_t* path, OpenError* error) {
    return open_stream(_wfopen(path, L"rb"), error);
}
#endif

const uint8_t* database_image(const Database& db) {
    return db.image;
}
uint32_t database_size(const Database& db) {
    return db.size;
}
uint32_t database_major(const Database& db) {
    return db.major;
}
uint32_t database_minor(const Database& db) {
    return db.minor;
}
TAGID database_list(const Database& db) {
    return db.database;
}
TAGID database_stringtable(const Database& db) {
    return db.stringtable;
}
TAGID database_indexes(const Database& db) {
    return db.indexes;
}
TAGID database_stopped_at(const Database& db) {
    return db.stopped;
}
const char* database_stop_reason(const Database& db) {
    return db.stopped == 0           ? ""
           : db.stopped_unknown_type ? "tag of unknown type"
                                     : "item runs past the end of the file";
}

// --- Navigation ---------------------------------------------------------------------------

TAG get_tag(const Database& db, TAGID tagid) {
    Item item;
    return decode(db, tagid, &item) ? item.tag : 0;
}

uint32_t get_data_size(const Database& db, TAGID tagid) {
    Item item;
    return decode(db, tagid, &item) ? item.size : 0;
}

uint32_t get_item_size(const Database& db, TAGID tagid) {
    Item item;
    return decode(db, tagid, &item) ? item.end - tagid : 0;
}

uint32_t get_data_offset(const Database& db, TAGID tagid) {
    Item item;
    return decode(db, tagid, &item) ? item.data : 0;
}

// The child at `at` when it fits inside [.., end); 0 otherwise.
static TAGID child_at(const Database& db, uint32_t at, uint32_t end) {
    Item item;
    if (at >= end || decode_item(db, at, end, &item) != ItemFault::None) {
        return 0;
    }
    return at;
}

TAGID get_first_child(const Database& db, TAGID parent) {
    uint32_t first = 0;
    uint32_t end = 0;
    return child_range(db, parent, &first, &end) ? child_at(db, first, end) : 0;
}

TAGID get_next_child(const Database& db, TAGID parent, TAGID prev) {
    uint32_t first = 0;
    uint32_t end = 0;
    Item item;
    if (!child_range(db, parent, &first, &end) || prev < first ||
        decode_item(db, prev, end, &item) != ItemFault::None) {
        return 0;
    }
    return child_at(db, align_even(item.end), end);
}

TAGID find_first_tag(const Database& db, TAGID parent, TAG tag) {
    TAGID t = get_first_child(db, parent);
    while (t != 0 && get_tag(db, t) != tag) {
        t = get_next_child(db, parent, t);
    }
    return t;
}

TAGID find_next_tag(const Database& db, TAGID parent, TAGID prev) {
    TAG tag = get_tag(db, prev);
    if (tag == 0) {
        return 0;
    }
    TAGID t = get_next_child(db, parent, prev);
    while (t != 0 && get_tag(db, t) != tag) {
        t = get_next_child(db, parent, t);
    }
    return t;
}

// --- Typed reads --------------------------------------------------------------------------

// The data of an item of the given type, or nullptr.
static const uint8_t* typed_data(const Database& db, TAGID tagid, TAG type) {
    Item item;
    if (!decode(db, tagid, &item) || tag_type(item.tag) != type) {
        return nullptr;
    }
    return db.image + item.data;
}

uint16_t read_word(const Database& db, TAGID tagid, uint16_t fallback) {
    const uint8_t* p = typed_data(db, tagid, TAG_TYPE_WORD);
    return p != nullptr ? load16(p) : fallback;
}

uint32_t read_dword(const Database& db, TAGID tagid, uint32_t fallback) {
    const uint8_t* p = typed_data(db, tagid, TAG_TYPE_DWORD);
    return p != nullptr ? load32(p) : fallback;
}

uint64_t read_qword(const Database& db, TAGID tagid, uint64_t fallback) {
    const uint8_t* p = typed_data(db, tagid, TAG_TYPE_QWORD);
    return p != nullptr ? load64(p) : fallback;
}

uint32_t read_stringref(const Database& db, TAGID tagid, uint32_t fallback) {
    const uint8_t* p = typed_data(db, tagid, TAG_TYPE_STRINGREF);
    return p != nullptr ? load32(p) : fallback;
}

const char16_t* get_stringtable_ptr(const Database& db, uint32_t reference) {
    if (db.stringtable == 0) {
        return nullptr;
    }
    // The entry must lie inside the table's readable data, not on its header.
    uint64_t at = static_cast<uint64_t>(db.stringtable) + reference;
    if (at < db.stringtable + 6u || at >= db.stringtable_end) {
        return nullptr;
    }
    Item entry;
    if (decode_item(db, static_cast<TAGID>(at), db.stringtable_end, &entry) != ItemFault::None) {
        return nullptr;
    }
    return string_in(db, entry);
}

const char16_t* get_string_ptr(const Database& db, TAGID tagid) {
    Item item;
    if (!decode(db, tagid, &item)) {
        return nullptr;
    }
    if (tag_type(item.tag) == TAG_TYPE_STRINGREF) {
        return get_stringtable_ptr(db, load32(db.image + item.data));
    }
    return string_in(db, item);
}

std::u16string read_string(const Database& db, TAGID tagid) {
    const char16_t* text = get_string_ptr(db, tagid);
    return text != nullptr ? std::u16string(text) : std::u16string();
}

const uint8_t* get_binary_ptr(const Database& db, TAGID tagid, uint32_t* size) {
    Item item;
    if (!decode(db, tagid, &item) || tag_type(item.tag) != TAG_TYPE_BINARY) {
        return nullptr;
    }
    *size = item.size;
    return db.image + item.data;
}

bool read_binary(const Database& db, TAGID tagid, std::vector<uint8_t>* out) {
    uint32_t size = 0;
    const uint8_t* p = get_binary_ptr(db, tagid, &size);
    if (p == nullptr) {
        return false;
    }
    out->assign(p, p + size);
    return true;
}

bool read_guid(const Database& db, TAGID tagid, Guid* guid) {
    uint32_t size = 0;
    const uint8_t* p = get_binary_ptr(db, tagid, &size);
    if (p == nullptr || size != GUID_BYTES) {
        return false;
    }
    *guid = guid_from_bytes(p);
    return true;
}

uint32_t read_child_dword(const Database& db, TAGID parent, TAG tag, uint32_t fallback) {
    return read_dword(db, find_first_tag(db, parent, tag), fallback);
}

uint64_t read_child_qword(const Database& db, TAGID parent, TAG tag, uint64_t fallback) {
    return read_qword(db, find_first_tag(db, parent, tag), fallback);
}

const char16_t* get_child_string_ptr(const Database& db, TAGID parent, TAG tag) {
    return get_string_ptr(db, find_first_tag(db, parent, tag));
}

} // namespace sdb
