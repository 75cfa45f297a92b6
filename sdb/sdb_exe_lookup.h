// The EXE entries that apply to a file name: those of that exact name and those whose
// wildcard name matches it.
#pragma once

#include "sdb_reader.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace sdb {

// The wildcard pattern of an EXE entry: its WILDCARD_NAME, or its NAME when that holds `*`
// or `?`; nullptr for an entry of an exact name.
const char16_t* exe_wildcard_pattern(const Database& db, TAGID exe);

// Where find_exes() looked and what it found.
struct ExeLookup {
    // Entries whose NAME equals the file name without case, in the order of the EXE/NAME
    // index (file order for files of this library's writer). Entries with a wildcard
    // pattern are never here, even when a file lists them in that index.
    std::vector<TAGID> exact;
    // Entries whose wildcard pattern matches the file name, in file order, each once.
    std::vector<TAGID> wildcard;
    bool name_index = false;     // exact ones through the EXE/NAME index, else by a scan
    bool wildcard_index = false; // wildcard ones through the EXE/WILDCARD_NAME index
};

// Every EXE directly under DATABASE that applies to `file_name` (a file name without a
// folder). Wildcard entries come from the EXE/WILDCARD_NAME index, whose records all apply
// whatever their key (the key holds only a pattern's first characters); a database
// without that index is scanned for them. A stored pattern given as the file name finds
// its own entry, since `*` and `?` match themselves too.
ExeLookup find_exes(const Database& db, const char16_t* file_name);

// How an entry became a candidate for a file.
enum class ExeSource {
    wildcard_name, // its wildcard pattern fits the file name
    name,          // its NAME equals the file name without case
    module_name,   // its 16BIT_MODULE_NAME equals the file's NE module name without case
};

struct ExeCandidate {
    TAGID exe;
    ExeSource source;
};

// The EXE entries of one database by the keys Windows looks them up by, built once per
// database and kept (it holds pointers into the database, which must outlive it).
// Wildcard entries come from the EXE/WILDCARD_NAME index, or from a scan of DATABASE when
// there is none; their patterns are compiled once, with a literal prefilter. Entries of an
// exact name and 16-bit entries (those with 16BIT_MODULE_NAME, which sit outside the
// EXE/NAME index) are hashed by their upper-cased key from one scan of DATABASE. An entry
// whose NAME has a folder part is keyed by its last component.
class ExeIndex {
public:
    explicit ExeIndex(const Database& db);

    // Appends the candidates in the order Windows logs its search: wildcard entries, then
    // entries of the exact name, then 16-bit entries of `module_name` (nullptr or empty:
    // none); each in file order and each entry once.
    void find(const char16_t* file_name, const char16_t* module_name,
              std::vector<ExeCandidate>* out) const;

    const Database& database() const { return *db_; }
    bool name_index() const { return name_index_; }
    bool wildcard_index() const { return wildcard_index_; }
    size_t wildcard_count() const { return patterns_.size(); }

private:
    struct Pattern {
        TAGID exe;
        std::u16string folded; // upper-cased pattern
        uint64_t needs;        // a bit per literal unit (low 6 bits) the name must contain
        std::u16string prefix; // literal units before the first wildcard
        std::u16string suffix; // literal units after the last wildcard (whole pattern if none)
        bool any;              // the pattern is `*` alone
    };
    const Database* db_;
    bool name_index_ = false;
    bool wildcard_index_ = false;
    std::vector<Pattern> patterns_;
    std::unordered_map<std::u16string, std::vector<TAGID>> names_;
    std::unordered_map<std::u16string, std::vector<TAGID>> modules_;
};

// `text` matches `pattern`, both already upper-cased: `*` any run, `?` one unit.
bool folded_wildcard_match(const std::u16string& pattern, const std::u16string& text);

} // namespace sdb
