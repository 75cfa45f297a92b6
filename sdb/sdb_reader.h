// Reading shim databases: opening, navigation by TAGID and typed reads.
//
// Strings are UTF-16 and are handed out as `const char16_t*` pointing into the database
// image (on Windows, char16_t and wchar_t have the same size and representation there).
//
// Every read is bounds-checked against the item's parent list and the file: a call that
// meets a malformed item gives 0, nullptr or false, never a read outside the image.
// Items start on even offsets, so an odd TAGID is never valid. Items of odd length (an
// odd-sized BINARY from another writer) are followed by a pad byte: the next sibling
// starts at the next even offset.
#pragma once

#include "sdb_guid.h"
#include "sdb_tags.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sdb {

// An open database: the image (owned or borrowed) and where its top-level lists are.
struct Database;

// Closes a database (frees the image when the database owns it).
struct DatabaseCloser {
    void operator()(Database* db) const;
};
typedef std::unique_ptr<Database, DatabaseCloser> DatabasePtr;

// Why opening failed.
enum class OpenError {
    None,
    Unreadable,         // the file could not be opened or read
    TooLarge,           // 4 GiB or more: TAGIDs cannot address it
    TooSmall,           // shorter than the 12-byte header
    Compressed,         // magic "zdbf": the compressed variant is not supported
    BadMagic,           // no "sdbf" magic
    UnsupportedVersion, // major version other than 2 or 3
};
// A short English description of an OpenError.
const char* open_error_text(OpenError error);

// Opens a database file with one read of the whole file. nullptr on failure, with the
// reason in *error when error is given. The path is in the platform's narrow encoding.
DatabasePtr open_database_file(const char* path, OpenError* error = nullptr);
#ifdef _WIN32
// As above, for a UTF-16 path (Windows only).
DatabasePtr open_database_file(const wchar_t* path, OpenError* error = nullptr);
#endif
// Opens a database over a caller's buffer without copying it; the buffer must outlive
// the database. (A buffer at an odd address is copied once, so that strings are aligned.)
DatabasePtr open_database_buffer(const void* data, size_t size, OpenError* error = nullptr);
// Opens a database that takes over the bytes.
DatabasePtr open_database_bytes(std::vector<uint8_t> bytes, OpenError* error = nullptr);

// The image and its size in bytes.
const uint8_t* database_image(const Database& db);
uint32_t database_size(const Database& db);
// Header version.
uint32_t database_major(const Database& db);
uint32_t database_minor(const Database& db);
// The top-level DATABASE, STRINGTABLE and INDEXES lists (first of each), 0 when absent.
// Navigation below them works even when one is cut by damage (see database_stopped_at),
// though get_tag() and the other reads of the cut list itself give 0.
TAGID database_list(const Database& db);
TAGID database_stringtable(const Database& db);
TAGID database_indexes(const Database& db);
// Where reading the top-level items stopped short of the end of the file (an item that
// runs past the file, or whose tag has no known length); 0 for a file read to its end.
// What can be read is kept: a top-level list cut there gives the children that fit before
// the end of the file, and a string table that the top-level items no longer lead to is
// found by its contents (a run of STRINGTABLE_ITEMs), so that strings survive damage
// before it. Other top-level items past that point are not found.
TAGID database_stopped_at(const Database& db);
// Why reading stopped there, in English; "" when it did not.
const char* database_stop_reason(const Database& db);

// --- Navigation -------------------------------------------------------------------------

// Tag of the item at tagid; 0 when no item fits there (odd, in the header, past the end,
// or its header or data run past the file). The root (0) has no tag and gives 0 too.
TAG get_tag(const Database& db, TAGID tagid);
// Size of the item's data in bytes (a list's size excludes its 6-byte header); 0 for an
// invalid item.
uint32_t get_data_size(const Database& db, TAGID tagid);
// Whole length of the item, header included, before any pad byte; 0 for an invalid item.
uint32_t get_item_size(const Database& db, TAGID tagid);
// Offset of the item's data (the byte after its tag, or after its size); 0 when invalid.
uint32_t get_data_offset(const Database& db, TAGID tagid);

// First direct child of a list (or of the root, tagid 0); 0 when the list is empty, is
// not a list, or its first child does not fit inside it.
TAGID get_first_child(const Database& db, TAGID parent);
// The sibling after prev within parent; 0 at the end or when the next item does not
// fit inside parent.
TAGID get_next_child(const Database& db, TAGID parent, TAGID prev);
// First direct child of parent with the given tag; 0 when none.
TAGID find_first_tag(const Database& db, TAGID parent, TAG tag);
// Next direct child of parent after prev with the same tag as prev; 0 when none.
TAGID find_next_tag(const Database& db, TAGID parent, TAGID prev);

// --- Typed reads: 0 / nullptr / false when the item is missing or of another type -----

uint16_t read_word(const Database& db, TAGID tagid, uint16_t fallback = 0);
uint32_t read_dword(const Database& db, TAGID tagid, uint32_t fallback = 0);
uint64_t read_qword(const Database& db, TAGID tagid, uint64_t fallback = 0);
// The raw value of a STRINGREF item (an offset into the string table).
uint32_t read_stringref(const Database& db, TAGID tagid, uint32_t fallback = 0);

// The NUL-terminated text of a STRING item, or of the string-table entry a STRINGREF
// item refers to. nullptr for other types, a reference outside the string table, or a
// string without its NUL inside the item.
const char16_t* get_string_ptr(const Database& db, TAGID tagid);
// The text of a string-table entry by its reference value (offset from STRINGTABLE).
const char16_t* get_stringtable_ptr(const Database& db, uint32_t reference);
// Copy of get_string_ptr()'s text; empty when there is none.
std::u16string read_string(const Database& db, TAGID tagid);

// Pointer to a BINARY item's data and its size; nullptr for other types.
const uint8_t* get_binary_ptr(const Database& db, TAGID tagid, uint32_t* size);
// Copies a BINARY item's data; false when it is not a BINARY.
bool read_binary(const Database& db, TAGID tagid, std::vector<uint8_t>* out);
// Reads a 16-byte BINARY item (EXE_ID, DATABASE_ID) as a GUID.
bool read_guid(const Database& db, TAGID tagid, Guid* guid);

// Child lookups by tag under parent, typed; fallback when the child is missing.
uint32_t read_child_dword(const Database& db, TAGID parent, TAG tag, uint32_t fallback = 0);
uint64_t read_child_qword(const Database& db, TAGID parent, TAG tag, uint64_t fallback = 0);
const char16_t* get_child_string_ptr(const Database& db, TAGID parent, TAG tag);

} // namespace sdb
