// Matches an executable against the databases of a context.
#include "matcher.h"

#include "tag_ref.h"

#include "sdb_exe_lookup.h"
#include "sdb_index.h"

#include <cstring>

namespace {

bool NumberConditionHolds(const sdb::Database& db, sdb::TAGID item, sdb::TAG tag,
                          const FileAttributes& attributes) {
    std::uint64_t wanted = 0;
    switch (sdb::tag_type(tag)) {
    case sdb::TAG_TYPE_WORD:
        wanted = sdb::read_word(db, item);
        break;
    case sdb::TAG_TYPE_DWORD:
        wanted = sdb::read_dword(db, item);
        break;
    default:
        wanted = sdb::read_qword(db, item);
        break;
    }
    if (const sdb::BoundCondition* bound = sdb::bound_condition(tag)) {
        auto found = attributes.numbers.find(bound->attribute);
        if (found == attributes.numbers.end())
            return false;
        return bound->upper ? found->second <= wanted : found->second >= wanted;
    }
    auto found = attributes.numbers.find(tag);
    return found != attributes.numbers.end() && found->second == wanted;
}

bool ConditionHolds(const sdb::Database& db, sdb::TAGID item, const FileAttributes& attributes) {
    sdb::TAG tag = sdb::get_tag(db, item);
    switch (sdb::tag_type(tag)) {
    case sdb::TAG_TYPE_WORD:
    case sdb::TAG_TYPE_DWORD:
    case sdb::TAG_TYPE_QWORD:
        return NumberConditionHolds(db, item, tag, attributes);
    case sdb::TAG_TYPE_STRINGREF:
    case sdb::TAG_TYPE_STRING: {
        const char16_t* wanted = sdb::get_string_ptr(db, item);
        auto found = attributes.strings.find(tag);
        return wanted != nullptr && found != attributes.strings.end() &&
               sdb::equal_nocase(found->second.c_str(), wanted);
    }
    default:
        // A condition this engine cannot evaluate is not taken as met.
        return false;
    }
}

bool ExeMatches(const sdb::Database& db, sdb::TAGID exe, const AttributeSource& source) {
    for (sdb::TAGID file = sdb::find_first_tag(db, exe, sdb::TAG_MATCHING_FILE); file != 0;
         file = sdb::find_next_tag(db, exe, file)) {
        const char16_t* name = sdb::get_child_string_ptr(db, file, sdb::TAG_NAME);
        if (name == nullptr)
            return false;
        // MATCH_LOGIC_NOT turns the file's verdict round: a missing file, or one that fails a
        // condition, then holds.
        bool negated = sdb::find_first_tag(db, file, sdb::TAG_MATCH_LOGIC_NOT) != 0;
        const FileAttributes* attributes = source(name);
        bool holds = attributes != nullptr && MatchingFileHolds(db, file, *attributes);
        if (holds == negated)
            return false;
    }
    return true;
}

struct MatchState {
    const std::vector<MatcherDatabase>& databases;
    QueryRecord& record;
    std::vector<bool> marked; // by position in databases: its id is in the record
};

// Reads a database's id only the first time it contributes: a file without one would
// otherwise be walked to its end at every contribution.
void MarkDatabase(MatchState& state, const MatcherDatabase& database) {
    std::size_t position = static_cast<std::size_t>(&database - state.databases.data());
    if (state.marked[position])
        return;
    state.marked[position] = true;
    std::uint8_t id[16];
    ReadDatabaseId(*database.db, id);
    AddDatabaseToRecord(state.record, database.number, id);
}

// Finds a top-level LAYER by name, in the preferred database first, then in all in order,
// and adds the first found; true when that added a layer to the record.
bool AddLayerByName(MatchState& state, const char16_t* name, const MatcherDatabase* preferred) {
    bool added = false;
    auto tryDatabase = [&](const MatcherDatabase& database) {
        const sdb::Database& db = *database.db;
        sdb::KeySearch search;
        sdb::TAGID layer = sdb::find_first_by_key(db, sdb::database_list(db), sdb::TAG_LAYER,
                                                  sdb::TAG_NAME, name, &search);
        if (layer == 0)
            return false;
        added = AddLayerToRecord(state.record, MakeTagRef(database.number, layer));
        if (added)
            MarkDatabase(state, database);
        return true;
    };
    if (preferred != nullptr && tryDatabase(*preferred))
        return added;
    for (const MatcherDatabase& database : state.databases) {
        if (&database != preferred && tryDatabase(database))
            return added;
    }
    return false;
}

// A LAYER nested in an EXE names a database-level LAYER by LAYER_TAGID or by NAME.
void AddNestedLayer(MatchState& state, const MatcherDatabase& database, sdb::TAGID nested) {
    const sdb::Database& db = *database.db;
    sdb::TAGID target = sdb::read_child_dword(db, nested, sdb::TAG_LAYER_TAGID);
    if (target != 0 && sdb::get_tag(db, target) == sdb::TAG_LAYER) {
        if (AddLayerToRecord(state.record, MakeTagRef(database.number, target)))
            MarkDatabase(state, database);
        return;
    }
    const char16_t* name = sdb::get_child_string_ptr(db, nested, sdb::TAG_NAME);
    if (name != nullptr)
        AddLayerByName(state, name, &database);
}

void AddMatchedExe(MatchState& state, const MatcherDatabase& database, sdb::TAGID exe) {
    const sdb::Database& db = *database.db;
    std::uint32_t flags = sdb::read_child_dword(db, exe, sdb::TAG_FLAGS);
    if (!AddExeToRecord(state.record, MakeTagRef(database.number, exe), flags))
        return;
    MarkDatabase(state, database);
    if (state.record.exeCount == 1) {
        sdb::Guid exeId;
        if (sdb::read_guid(db, sdb::find_first_tag(db, exe, sdb::TAG_EXE_ID), &exeId))
            sdb::guid_to_bytes(exeId, state.record.matchId);
    }
    sdb::TAGID apphelp = sdb::find_first_tag(db, exe, sdb::TAG_APPHELP);
    if (apphelp != 0 && state.record.apphelpTagRef == 0)
        state.record.apphelpTagRef = MakeTagRef(database.number, apphelp);
    for (sdb::TAGID layer = sdb::find_first_tag(db, exe, sdb::TAG_LAYER); layer != 0;
         layer = sdb::find_next_tag(db, exe, layer))
        AddNestedLayer(state, database, layer);
}

// The entries of the file's exact name first, then the wildcard ones, each in its order.
void AddExesFor(MatchState& state, const MatcherDatabase& database, const char16_t* fileName,
                const AttributeSource& source) {
    const sdb::Database& db = *database.db;
    sdb::ExeLookup found = sdb::find_exes(db, fileName);
    for (const std::vector<sdb::TAGID>* kind : {&found.exact, &found.wildcard}) {
        for (sdb::TAGID exe : *kind) {
            if (ExeMatches(db, exe, source))
                AddMatchedExe(state, database, exe);
        }
    }
}

} // namespace

bool MatchingFileHolds(const sdb::Database& db, sdb::TAGID matchingFile,
                       const FileAttributes& attributes) {
    for (sdb::TAGID item = sdb::get_first_child(db, matchingFile); item != 0;
         item = sdb::get_next_child(db, matchingFile, item)) {
        sdb::TAG tag = sdb::get_tag(db, item);
        if (tag != sdb::TAG_NAME && tag != sdb::TAG_MATCH_LOGIC_NOT &&
            !ConditionHolds(db, item, attributes))
            return false;
    }
    return true;
}

void ReadDatabaseId(const sdb::Database& db, std::uint8_t id[16]) {
    std::memset(id, 0, 16);
    sdb::TAGID list = sdb::database_list(db);
    sdb::Guid guid;
    if (sdb::read_guid(db, sdb::find_first_tag(db, list, sdb::TAG_DATABASE_ID), &guid))
        sdb::guid_to_bytes(guid, id);
}

bool MatchEntries(const std::vector<MatcherDatabase>& databases, const MatchRequest& request,
                  const AttributeSource& attributes, QueryRecord& record) {
    MatchState state = {databases, record, std::vector<bool>(databases.size(), false)};
    for (const MatcherDatabase& database : databases) {
        if (!database.consultExes)
            continue;
        AddExesFor(state, database, request.fileName.c_str(), attributes);
    }
    for (const std::u16string& name : request.storedLayers)
        AddLayerByName(state, name.c_str(), nullptr);
    for (const std::u16string& name : request.environmentLayers) {
        if (AddLayerByName(state, name.c_str(), nullptr))
            record.flags |= ResultFlagEnvironmentLayers;
    }
    return record.exeCount > 0 || record.layerCount > 0;
}
