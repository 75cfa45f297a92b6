// The EXE entries that apply to a file name: those of that exact name and those whose
// wildcard name matches it.
#pragma once

#include "sdb_reader.h"

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

} // namespace sdb
