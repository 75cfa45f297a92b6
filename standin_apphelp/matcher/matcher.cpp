// Matches an executable against the databases of a context.
#include "matcher.h"

#include "tag_ref.h"

#include "sdb_index.h"

#include <cstring>
#include <memory>

namespace {

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

void AddExesFor(MatchState& state, const MatcherDatabase& database, const MatchRequest& request,
                MatchWorld& world) {
    std::unique_ptr<sdb::ExeIndex> built;
    const sdb::ExeIndex* index = database.index;
    if (index == nullptr) {
        built.reset(new sdb::ExeIndex(*database.db));
        index = built.get();
    }
    for (const EntryResult& entry : EvaluateCandidates(*index, request.program, request.system,
                                                       world, CandidateDetail::SkipFirmFailures)) {
        if (CountsAsMatch(entry.verdict))
            AddMatchedExe(state, database, entry.exe);
    }
}

} // namespace

void ReadDatabaseId(const sdb::Database& db, std::uint8_t id[16]) {
    std::memset(id, 0, 16);
    sdb::TAGID list = sdb::database_list(db);
    sdb::Guid guid;
    if (sdb::read_guid(db, sdb::find_first_tag(db, list, sdb::TAG_DATABASE_ID), &guid))
        sdb::guid_to_bytes(guid, id);
}

bool MatchEntries(const std::vector<MatcherDatabase>& databases, const MatchRequest& request,
                  MatchWorld& world, QueryRecord& record) {
    MatchState state = {databases, record, std::vector<bool>(databases.size(), false)};
    for (const MatcherDatabase& database : databases) {
        if (!database.consultExes)
            continue;
        AddExesFor(state, database, request, world);
    }
    for (const std::u16string& name : request.storedLayers)
        AddLayerByName(state, name.c_str(), nullptr);
    for (const std::u16string& name : request.environmentLayers) {
        if (AddLayerByName(state, name.c_str(), nullptr))
            record.flags |= ResultFlagEnvironmentLayers;
    }
    return record.exeCount > 0 || record.layerCount > 0;
}
