// Finding the EXE entries of a file name: by a one-off search, or through an index object
// built once per database.
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

static std::u16string folded(const char16_t* text) {
    std::u16string out;
    for (; text != nullptr && *text != 0; ++text) {
        out.push_back(fold_upper(*text));
    }
    return out;
}

static uint64_t unit_bit(char16_t unit) {
    return uint64_t(1) << (unit & 63);
}

bool folded_wildcard_match(const std::u16string& pattern, const std::u16string& text) {
    // On a mismatch the last `*` takes one more unit: at most length times length steps.
    size_t p = 0, t = 0, star = std::u16string::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (star != std::u16string::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

ExeIndex::ExeIndex(const Database& db) : db_(&db) {
    TAGID database = database_list(db);
    if (database == 0) {
        return;
    }
    name_index_ = find_index(db, TAG_EXE, TAG_NAME) != 0;
    TAGID index = find_index(db, TAG_EXE, TAG_WILDCARD_NAME);
    wildcard_index_ = index != 0;
    std::vector<TAGID> wildcard;
    if (index != 0) {
        uint32_t count = index_record_count(db, index);
        for (uint32_t n = 0; n < count; ++n) {
            IndexRecord record;
            if (index_record(db, index, n, &record) &&
                index_target_fits(db, database, TAG_EXE, record.tagid) &&
                exe_wildcard_pattern(db, record.tagid) != nullptr) {
                wildcard.push_back(record.tagid);
            }
        }
        std::sort(wildcard.begin(), wildcard.end());
        wildcard.erase(std::unique(wildcard.begin(), wildcard.end()), wildcard.end());
    }
    for (TAGID exe = find_first_tag(db, database, TAG_EXE); exe != 0;
         exe = find_next_tag(db, database, exe)) {
        const char16_t* module = get_child_string_ptr(db, exe, TAG_16BIT_MODULE_NAME);
        if (module != nullptr) {
            modules_[folded(module)].push_back(exe);
        } else if (exe_wildcard_pattern(db, exe) != nullptr) {
            if (index == 0) {
                wildcard.push_back(exe);
            }
        } else if (const char16_t* name = get_child_string_ptr(db, exe, TAG_NAME)) {
            const char16_t* last = name;
            for (const char16_t* c = name; *c != 0; ++c) {
                if (*c == u'\\') {
                    last = c + 1;
                }
            }
            names_[folded(last)].push_back(exe);
        }
    }
    for (TAGID exe : wildcard) {
        Pattern pattern;
        pattern.exe = exe;
        pattern.folded = folded(exe_wildcard_pattern(db, exe));
        pattern.needs = 0;
        for (char16_t unit : pattern.folded) {
            if (unit != u'*' && unit != u'?') {
                pattern.needs |= unit_bit(unit);
            }
        }
        size_t first = pattern.folded.find_first_of(u"*?");
        size_t last = pattern.folded.find_last_of(u"*?");
        pattern.prefix = pattern.folded.substr(0, first);
        pattern.suffix =
            last == std::u16string::npos ? pattern.folded : pattern.folded.substr(last + 1);
        pattern.any = pattern.folded == u"*";
        patterns_.push_back(std::move(pattern));
    }
}

static bool ends_with(const std::u16string& text, const std::u16string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void ExeIndex::find(const char16_t* file_name, const char16_t* module_name,
                    std::vector<ExeCandidate>* out) const {
    size_t start = out->size();
    std::u16string name = folded(file_name);
    uint64_t has = 0;
    for (char16_t unit : name) {
        has |= unit_bit(unit);
    }
    for (const Pattern& pattern : patterns_) {
        if (pattern.any ||
            ((pattern.needs & ~has) == 0 &&
             name.compare(0, pattern.prefix.size(), pattern.prefix) == 0 &&
             ends_with(name, pattern.suffix) && folded_wildcard_match(pattern.folded, name))) {
            out->push_back(ExeCandidate{pattern.exe, ExeSource::wildcard_name});
        }
    }
    auto exact = names_.find(name);
    if (exact != names_.end()) {
        for (TAGID exe : exact->second) {
            out->push_back(ExeCandidate{exe, ExeSource::name});
        }
    }
    if (module_name != nullptr && *module_name != 0) {
        auto module = modules_.find(folded(module_name));
        if (module != modules_.end()) {
            for (TAGID exe : module->second) {
                bool seen = false;
                for (size_t i = start; i < out->size() && !seen; ++i) {
                    seen = (*out)[i].exe == exe;
                }
                if (!seen) {
                    out->push_back(ExeCandidate{exe, ExeSource::module_name});
                }
            }
        }
    }
}

} // namespace sdb
