// Index keys and lookups by name, through INDEXES or by scanning.
#include "sdb_index.h"

#include "sdb_image.h"

namespace sdb {

char16_t fold_upper(char16_t c) {
    if (c >= u'a' && c <= u'z') {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c < 0xE0) {
        return c;
    }
    // Latin-1 letters, but not the division sign.
    if (c <= 0xFE) {
        return c == 0xF7 ? c : static_cast<char16_t>(c - 0x20);
    }
    if (c == 0xFF) {
        return 0x178;
    }
    // Latin Extended-A: pairs of upper then lower case, with the dotted and dotless i
    // left alone and a stretch where the pairs start on odd units.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
        return (c & 1u) != 0 ? static_cast<char16_t>(c - 1) : c;
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
        return (c & 1u) == 0 ? static_cast<char16_t>(c - 1) : c;
    }
    // Greek (final sigma becomes sigma) and Cyrillic.
    if (c == 0x3C2) {
        return 0x3A3;
    }
    if ((c >= 0x3B1 && c <= 0x3C9) || (c >= 0x430 && c <= 0x44F)) {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c >= 0x450 && c <= 0x45F) {
        return static_cast<char16_t>(c - 0x50);
    }
    return c;
}

bool equal_nocase(const char16_t* a, const char16_t* b) {
    if (a == nullptr || b == nullptr) {
        return false;
    }
    for (; *a != 0 && *b != 0; ++a, ++b) {
        if (fold_upper(*a) != fold_upper(*b)) {
            return false;
        }
    }
    return *a == *b;
}

bool wildcard_match(const char16_t* pattern, const char16_t* text) {
    if (pattern == nullptr || text == nullptr) {
        return false;
    }
    // On a mismatch, the last `*` takes one more unit and matching resumes after it: no
    // other backtracking is needed, so the time is at most length times length.
    const char16_t* star = nullptr;
    const char16_t* resume = nullptr;
    while (*text != 0) {
        if (*pattern == u'*') {
            star = ++pattern;
            resume = text;
        } else if (*pattern != 0 &&
                   (*pattern == u'?' || fold_upper(*pattern) == fold_upper(*text))) {
            ++pattern;
            ++text;
        } else if (star != nullptr) {
            pattern = star;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == u'*') {
        ++pattern;
    }
    return *pattern == 0;
}

uint64_t string_key(const char16_t* text) {
    uint64_t key = 0;
    int shift = 56;
    for (; text != nullptr && *text != 0 && shift >= 0; ++text) {
        char16_t unit = fold_upper(*text);
        const uint8_t bytes[2] = {static_cast<uint8_t>(unit & 0xFF),
                                  static_cast<uint8_t>(unit >> 8)};
        for (uint8_t byte : bytes) {
            if (byte != 0 && shift >= 0) {
                key |= static_cast<uint64_t>(byte) << shift;
                shift -= 8;
            }
        }
    }
    return key;
}

TAGID find_index(const Database& db, TAG tag, TAG key_tag) {
    if (db.indexes == 0) {
        return 0;
    }
    for (TAGID index = find_first_tag(db, db.indexes, TAG_INDEX); index != 0;
         index = find_next_tag(db, db.indexes, index)) {
        if (read_word(db, find_first_tag(db, index, TAG_INDEX_TAG)) == tag &&
            read_word(db, find_first_tag(db, index, TAG_INDEX_KEY)) == key_tag) {
            return index;
        }
    }
    return 0;
}

bool index_is_unique(const Database& db, TAGID index) {
    return (read_child_dword(db, index, TAG_INDEX_FLAGS) & INDEX_FLAG_UNIQUE_KEY) != 0;
}

static const uint8_t* index_bits(const Database& db, TAGID index, uint32_t* count) {
    uint32_t size = 0;
    const uint8_t* bits = get_binary_ptr(db, find_first_tag(db, index, TAG_INDEX_BITS), &size);
    *count = bits != nullptr ? size / INDEX_RECORD_SIZE : 0;
    return bits;
}

uint32_t index_record_count(const Database& db, TAGID index) {
    uint32_t count = 0;
    index_bits(db, index, &count);
    return count;
}

bool index_record(const Database& db, TAGID index, uint32_t n, IndexRecord* record) {
    uint32_t count = 0;
    const uint8_t* bits = index_bits(db, index, &count);
    if (bits == nullptr || n >= count) {
        return false;
    }
    const uint8_t* at = bits + INDEX_RECORD_SIZE * n;
    record->key = load64(at + INDEX_RECORD_KEY);
    record->tagid = load32(at + INDEX_RECORD_TAGID);
    return true;
}

// The key of an item's name child; false when it has none.
static bool item_key(const Database& db, const KeySearch& search, TAGID item, uint64_t* key) {
    const char16_t* name = get_child_string_ptr(db, item, search.key_tag);
    if (name == nullptr) {
        return false;
    }
    *key = string_key(name);
    return true;
}

static bool name_matches(const Database& db, const KeySearch& search, TAGID item) {
    return equal_nocase(get_child_string_ptr(db, item, search.key_tag), search.name);
}

bool index_target_fits(const Database& db, TAGID parent, TAG tag, TAGID item) {
    uint32_t first = 0;
    uint32_t end = 0;
    Item decoded;
    return item != 0 && child_range(db, parent, &first, &end) && item >= first &&
           decode_item(db, item, end, &decoded) == ItemFault::None && decoded.tag == tag;
}

static TAGID next_by_index(const Database& db, KeySearch* search) {
    for (;;) {
        if (search->walk != 0) {
            TAGID next = find_next_tag(db, search->parent, search->walk);
            uint64_t key = 0;
            if (next != 0 && item_key(db, *search, next, &key) && key == search->key) {
                search->walk = next;
                search->current = next;
                if (name_matches(db, *search, next)) {
                    return next;
                }
                continue;
            }
            search->walk = 0;
        }
        IndexRecord record;
        if (!index_record(db, search->index, search->record, &record) ||
            record.key != search->key) {
            return 0;
        }
        ++search->record;
        // A unique-key index of a file that still lists one key twice: items already
        // walked over are not found again.
        if (!index_target_fits(db, search->parent, search->tag, record.tagid) ||
            (search->unique && record.tagid <= search->current)) {
            continue;
        }
        search->current = record.tagid;
        if (search->unique) {
            search->walk = record.tagid;
        }
        if (name_matches(db, *search, record.tagid)) {
            return record.tagid;
        }
    }
}

static TAGID next_by_scan(const Database& db, KeySearch* search) {
    TAGID t = search->current == 0 ? find_first_tag(db, search->parent, search->tag)
                                   : find_next_tag(db, search->parent, search->current);
    while (t != 0 && !name_matches(db, *search, t)) {
        t = find_next_tag(db, search->parent, t);
    }
    search->current = t;
    return t;
}

TAGID find_next_by_key(const Database& db, KeySearch* search) {
    if (search->done) {
        return 0;
    }
    TAGID found = search->index != 0 ? next_by_index(db, search) : next_by_scan(db, search);
    search->done = found == 0;
    return found;
}

static void start_search(TAGID parent, TAG tag, TAG key_tag, const char16_t* name,
                         KeySearch* search) {
    *search = KeySearch();
    search->parent = parent;
    search->tag = tag;
    search->key_tag = key_tag;
    search->name = name;
    search->key = string_key(name);
    search->done = name == nullptr;
}

TAGID scan_first_by_key(const Database& db, TAGID parent, TAG tag, TAG key_tag,
                        const char16_t* name, KeySearch* search) {
    start_search(parent, tag, key_tag, name, search);
    return find_next_by_key(db, search);
}

TAGID find_first_by_key(const Database& db, TAGID parent, TAG tag, TAG key_tag,
                        const char16_t* name, KeySearch* search) {
    start_search(parent, tag, key_tag, name, search);
    search->index = find_index(db, tag, key_tag);
    if (search->index != 0) {
        search->unique = index_is_unique(db, search->index);
        search->record_count = index_record_count(db, search->index);
        // The first record of the key: records are sorted by key.
        uint32_t low = 0;
        uint32_t high = search->record_count;
        while (low < high) {
            uint32_t mid = low + (high - low) / 2;
            IndexRecord record;
            index_record(db, search->index, mid, &record);
            if (record.key < search->key) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        search->record = low;
    }
    return find_next_by_key(db, search);
}

} // namespace sdb
