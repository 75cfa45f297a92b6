// The databases of a context and the match of an executable against them.
#pragma once

#include "file_attributes.h"
#include "query_record.h"

#include "sdb_reader.h"

#include <functional>
#include <string>
#include <vector>

// One database of a context, as the matcher sees it.
struct MatcherDatabase {
    const sdb::Database* db;
    std::uint32_t number; // TAGREF selector, record slot and map bit
    bool consultExes;     // whether its EXE entries apply to the executable being matched
};

// What is matched: the executable's file name and the layers asked for by name.
struct MatchRequest {
    std::u16string fileName;
    std::vector<std::u16string> storedLayers;      // stored for the path in the registry
    std::vector<std::u16string> environmentLayers; // from the process environment
};

// The attributes of a file named by a MATCHING_FILE: "*" is the executable itself, any
// other name a path relative to the executable's folder. Null when the file does not exist.
typedef std::function<const FileAttributes*(const std::u16string& name)> AttributeSource;

// Fills the record with every EXE entry whose name and MATCHING_FILE conditions fit, their
// nested layers, then the requested layers found by name; true when anything matched.
// Databases are searched in the order given.
bool MatchEntries(const std::vector<MatcherDatabase>& databases, const MatchRequest& request,
                  const AttributeSource& attributes, QueryRecord& record);

// True when every condition of one MATCHING_FILE holds for the given attributes; its
// MATCH_LOGIC_NOT, which the caller applies, is no condition.
bool MatchingFileHolds(const sdb::Database& db, sdb::TAGID matchingFile,
                       const FileAttributes& attributes);

// The DATABASE_ID of a database; all zero when it has none.
void ReadDatabaseId(const sdb::Database& db, std::uint8_t id[16]);
