// Finding items by a string key: through the database's INDEXES when it has a matching
// index, by scanning a parent's children when it does not.
#pragma once

#include "sdb_reader.h"

#include <cstdint>

namespace sdb {

// Upper case of one UTF-16 unit, as used for index keys and name comparison: ASCII,
// Latin-1, Latin Extended-A, basic Greek and Cyrillic; other units are unchanged.
char16_t fold_upper(char16_t c);
// Case-insensitive equality of two NUL-terminated strings by fold_upper().
bool equal_nocase(const char16_t* a, const char16_t* b);

// True when `text` matches `pattern` as the engine matches wildcard names, without case by
// fold_upper(): `*` stands for any run of units (none included), `?` for exactly one unit;
// any other unit stands for itself. False when either is nullptr.
bool wildcard_match(const char16_t* pattern, const char16_t* text);

// The 64-bit index key of a string: upper-case it, then take each UTF-16 unit's low byte
// and then its high byte, skipping zero bytes, placing them from the most significant
// byte of the key down until 8 bytes are filled. "iexplore.exe" -> 0x494558504C4F5245.
uint64_t string_key(const char16_t* text);

// The layout of one INDEX_BITS record: the key, then the TAGID of the item it finds.
const uint32_t INDEX_RECORD_SIZE = 12;
const uint32_t INDEX_RECORD_KEY = 0;
const uint32_t INDEX_RECORD_TAGID = 8;

// One record of INDEX_BITS.
struct IndexRecord {
    uint64_t key;
    TAGID tagid;
};

// The INDEX list (under INDEXES) that indexes `tag` by `key_tag`; 0 when there is none.
TAGID find_index(const Database& db, TAG tag, TAG key_tag);
// True when the index has INDEX_FLAGS with the unique-key bit.
bool index_is_unique(const Database& db, TAGID index);
// Number of records of the index's INDEX_BITS (a trailing partial record is ignored).
uint32_t index_record_count(const Database& db, TAGID index);
// Record n of the index; false when n is out of range.
bool index_record(const Database& db, TAGID index, uint32_t n, IndexRecord* record);
// True when an index record's TAGID is a direct child of `parent` with tag `tag`, so that
// the record may be followed.
bool index_target_fits(const Database& db, TAGID parent, TAG tag, TAGID item);

// Where a search by name stands. Filled by find_first_by_key(); the name it was given
// must stay valid until the search ends.
struct KeySearch {
    TAGID parent = 0; // the list whose children are searched
    TAG tag = 0;      // the tag of the items searched for
    TAG key_tag = 0;  // the child that holds each item's name
    const char16_t* name = nullptr;
    uint64_t key = 0;
    TAGID index = 0;     // the index used, 0 when scanning
    bool unique = false; // unique-key index: walk on through following siblings
    uint32_t record = 0; // next index record to look at
    uint32_t record_count = 0;
    TAGID walk = 0;    // item the walk-on continues from, 0 when not walking
    TAGID current = 0; // item looked at last (scan position, or end of the walk-on)
    bool done = false; // no more items
};

// First child of `parent` with tag `tag` whose `key_tag` child (a STRING or STRINGREF)
// equals name case-insensitively. Uses the index of (tag, key_tag) when the database has
// one; with a unique-key index it also walks on from each indexed item through the
// following siblings of the same tag while their key is the same. Without an index it
// scans the direct children of parent. Items come in index order, which is file order
// for files of this library's writer. 0 when none.
TAGID find_first_by_key(const Database& db, TAGID parent, TAG tag, TAG key_tag,
                        const char16_t* name, KeySearch* search);
// As find_first_by_key(), but always scanning, even when an index exists.
TAGID scan_first_by_key(const Database& db, TAGID parent, TAG tag, TAG key_tag,
                        const char16_t* name, KeySearch* search);
// The next item of the search; 0 when there are no more.
TAGID find_next_by_key(const Database& db, KeySearch* search);

} // namespace sdb
