// Finding the EXE entries of a file name: exact names, then wildcard patterns.
#include "sdb_exe_lookup.h"

#include "sdb_index.h"

#include <algorithm>

namespace sdb {

static bool holds_wildcard(const char16_t* name) {
    for (; name != nullptr && *name != 0; ++name) {
        if (*name == u'*' || *name == u'?') {
            return true;
        }
    }
    return false;
}

const char16_t* exe_wildcard_pattern(const Database& db, TAGID exe) {
    const char16_t* pattern = get_child_string_ptr(db, exe, TAG_WILDCARD_NAME);
    if (pattern != nullptr) {
        return pattern;
    }
    const char16_t* name = get_child_string_ptr(db, exe, TAG_NAME);
    return holds_wildcard(name) ? name : nullptr;
}

// The wildcard entries that the EXE/WILDCARD_NAME index lists and that match.
static void wildcard_by_index(const Database& db, TAGID database, TAGID index,
                              const char16_t* file_name, std::vector<TAGID>* found) {
    uint32_t count = index_record_count(db, index);
    for (uint32_t n = 0; n < count; ++n) {
        IndexRecord record;
        if (index_record(db, index, n, &record) &&
            index_target_fits(db, database, TAG_EXE, record.tagid) &&
            wildcard_match(exe_wildcard_pattern(db, record.tagid), file_name)) {
            found->push_back(record.tagid);
        }
    }
    // Records are in key order and may name one entry twice.
    std::sort(found->begin(), found->end());
    found->erase(std::unique(found->begin(), found->end()), found->end());
}

ExeLookup find_exes(const Database& db, const char16_t* file_name) {
    ExeLookup lookup;
    TAGID database = database_list(db);
    // Parent 0 would stand for the root: a file without DATABASE has no entries.
    if (database == 0 || file_name == nullptr) {
        return lookup;
    }
    KeySearch search;
    for (TAGID exe = find_first_by_key(db, database, TAG_EXE, TAG_NAME, file_name, &search);
         exe != 0; exe = find_next_by_key(db, &search)) {
        if (exe_wildcard_pattern(db, exe) == nullptr) {
            lookup.exact.push_back(exe);
        }
    }
    lookup.name_index = search.index != 0;
    TAGID index = find_index(db, TAG_EXE, TAG_WILDCARD_NAME);
    lookup.wildcard_index = index != 0;
    if (index != 0) {
        wildcard_by_index(db, database, index, file_name, &lookup.wildcard);
        return lookup;
    }
    for (TAGID exe = find_first_tag(db, database, TAG_EXE); exe != 0;
         exe = find_next_tag(db, database, exe)) {
        if (wildcard_match(exe_wildcard_pattern(db, exe), file_name)) {
            lookup.wildcard.push_back(exe);
        }
    }
    return lookup;
}

} // namespace sdb
