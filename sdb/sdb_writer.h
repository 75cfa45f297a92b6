// Writing shim databases.
//
// The writer builds the whole image in memory: optional INDEXES first (declared before
// any other item), then the caller's items, then the string table, added on close. Each
// distinct string goes into the string table once. Every item starts on an even offset.
//
//   WriterPtr w = create_writer();
//   declare_index(*w, TAG_EXE, TAG_NAME, exe_count, true);   // optional, first
//   TAGID db = begin_list(*w, TAG_DATABASE);
//   write_string(*w, TAG_NAME, u"My database");
//   ...
//   end_list(*w, db);
//   close_to_file(*w, "out.sdb");
#pragma once

#include "sdb_guid.h"
#include "sdb_tags.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sdb {

struct Writer;

struct WriterDeleter {
    void operator()(Writer* writer) const;
};
typedef std::unique_ptr<Writer, WriterDeleter> WriterPtr;

// A new, empty database image. Major 2 gets minor 1, major 3 gets minor 0; nullptr for
// any other major version.
WriterPtr create_writer(uint32_t major = 2);

// Reserves an index of the lists tagged `tag` by their `key_tag` child (a STRINGREF,
// STRING, WORD, DWORD, QWORD or BINARY; a BINARY key is its first 8 bytes read as a
// little-endian number) for at most `capacity` records. Unique: one record per distinct
// key, pointing at the first item of that key in file order (readers walk on through the
// following siblings, so the writer's caller keeps items of one key together).
// Only before the first begin_list() or write; false otherwise or for a bad key tag.
// Records are collected as each list of `tag` ends and sorted by key (then TAGID) on
// close. Unused reserved records are written with key 0xFFFFFFFFFFFFFFFF and TAGID 0,
// which readers skip. Lists that have a `left_out` child are not indexed (an EXE/NAME
// index leaves out the wildcard entries, which have WILDCARD_NAME and an index of their
// own); 0 leaves out none.
bool declare_index(Writer& writer, TAG tag, TAG key_tag, uint32_t capacity, bool unique,
                   TAG left_out = 0);

// The TAGID that the next item written will get.
TAGID next_tagid(const Writer& writer);

// Opens a list; returns its TAGID, or 0 when tag is not a LIST tag.
TAGID begin_list(Writer& writer, TAG tag);
// Closes the innermost open list, which must be `list`, and fills in its size.
bool end_list(Writer& writer, TAGID list);

// Each write refuses (false) a tag of another type.
bool write_null(Writer& writer, TAG tag);
bool write_word(Writer& writer, TAG tag, uint16_t value);
bool write_dword(Writer& writer, TAG tag, uint32_t value);
bool write_qword(Writer& writer, TAG tag, uint64_t value);
// A STRING tag is written inline; a STRINGREF tag goes through the string table.
bool write_string(Writer& writer, TAG tag, const std::u16string& text);
// A BINARY item. Odd-sized data gets a zero pad byte, counted in the size, so that the
// size is even.
bool write_binary(Writer& writer, TAG tag, const void* data, size_t size);
// A 16-byte BINARY (EXE_ID, DATABASE_ID).
bool write_guid(Writer& writer, TAG tag, const Guid& guid);

// Why closing failed, in English; empty after success.
const std::string& writer_error(const Writer& writer);

// Finishes the image: fills the indexes, appends the string table. False when a list is
// still open, an index overflowed, or the image reached 4 GiB. The writer accepts no
// more items afterwards.
bool close_to_buffer(Writer& writer, std::vector<uint8_t>* image);
// As close_to_buffer(), then writes the file: to a temporary name beside it first,
// renamed at the end, so that a failure leaves no partial file.
bool close_to_file(Writer& writer, const char* path);
// Writes an image to a file the same way: to a temporary name beside it, renamed at the
// end. False when writing fails, leaving no file.
bool write_image_file(const std::vector<uint8_t>& image, const char* path);

} // namespace sdb
