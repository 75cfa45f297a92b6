// The databases of a context and the match of an executable against them.
#pragma once

#include "entry_evaluator.h"
#include "query_record.h"

#include "sdb_exe_lookup.h"
#include "sdb_reader.h"

#include <string>
#include <vector>

// One database of a context, as the matcher sees it.
struct MatcherDatabase {
    const sdb::Database* db;
    std::uint32_t number; // TAGREF selector, record slot and map bit
    bool consultExes;     // whether its EXE entries apply to the executable being matched
    // The database's lookup, kept by the caller across matches; null builds one for this
    // match alone.
    const sdb::ExeIndex* index = nullptr;
};

// What is matched: the program and the system it runs on, and the layers asked for by name.
struct MatchRequest {
    ProgramFacts program; // its path's file name is the name looked up
    SystemFacts system;
    std::vector<std::u16string> storedLayers;      // stored for the path in the registry
    std::vector<std::u16string> environmentLayers; // from the process environment
};

// Fills the record with every EXE entry the evaluator counts as a match (matched, or
// matched-if its unconfirmed rules hold; an unknown entry is no match), in the order of
// the lookup (wildcard names, exact names, 16-bit module names), with their nested layers,
// then the requested layers found by name; true when anything matched. Databases are
// searched in the order given; files are asked of `world`.
bool MatchEntries(const std::vector<MatcherDatabase>& databases, const MatchRequest& request,
                  MatchWorld& world, QueryRecord& record);

// The DATABASE_ID of a database; all zero when it has none.
void ReadDatabaseId(const sdb::Database& db, std::uint8_t id[16]);
