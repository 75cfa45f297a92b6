// Adds a match record's entries, flags, apphelp reference and databases as report lines.
#include "query_result_lines.h"

#include <iterator>

#include "apphelp_api.h"
#include "database_handle_holder.h"
#include "database_lines.h"
#include "missing_entry.h"
#include "../sdb/sdb_tags.h"

namespace {

// What both layouts have in common, pointing into the record where it lies.
struct RecordView {
    const TAGREF* exeTagRefs;
    const DWORD* exeFlags; // null in the layout without executable flags
    DWORD exeCount;
    const TAGREF* layerTagRefs;
    DWORD layerCount;
    DWORD layerFlags;
    DWORD resultFlags;
    TAGREF apphelpTagRef;
    DWORD customDbMap;
    const GUID (*databaseIds)[16];
};

// Counts above an array's capacity stop at the capacity, so nothing past the record is read.
DWORD Capped(DWORD count, size_t capacity) {
    return count < capacity ? count : DWORD(capacity);
}

template <typename Record> RecordView ViewOf(const Record& record) {
    RecordView view;
    view.exeTagRefs = record.exeTagRefs;
    view.exeFlags = NULL;
    view.exeCount = Capped(record.exeCount, std::size(record.exeTagRefs));
    view.layerTagRefs = record.layerTagRefs;
    view.layerCount = Capped(record.layerCount, std::size(record.layerTagRefs));
    view.layerFlags = record.layerFlags;
    view.resultFlags = record.resultFlags;
    view.apphelpTagRef = record.apphelpTagRef;
    view.customDbMap = record.customDbMap;
    view.databaseIds = &record.databaseIds;
    return view;
}

// Whether the lookups can resolve and name an entry. An EXE entry's nested lists take
// SdbFindNextTag besides; without it the entry keeps its name (see AddExeLine).
bool LookupEntriesAvailable(MatchReport& report) {
    // Every missing entry that the record's entries need gets its line, so all are asked.
    bool named = EntryAvailable(report, ApphelpApi.SdbTagRefToTagID, L"SdbTagRefToTagID");
    named = EntryAvailable(report, ApphelpApi.SdbFindFirstTag, L"SdbFindFirstTag") && named;
    named = EntryAvailable(report, ApphelpApi.SdbGetStringTagPtr, L"SdbGetStringTagPtr") && named;
    return named;
}

EntryName NameOf(PDB database, TAGID parent) {
    TAGID nameTag = ApphelpApi.SdbFindFirstTag(database, parent, sdb::TAG_NAME);
    const wchar_t* name = ApphelpApi.SdbGetStringTagPtr(database, nameTag);
    EntryName entryName = {name != NULL, name != NULL ? name : L""};
    return entryName;
}

// Resolves and names the entry of the line's reference. When resolved, the holder borrows the
// entry's database and tagId is the entry within it.
bool NameEntry(const ContextHandleHolder& context, TAGREF tagRef, DatabaseHandleHolder& database,
               TAGID& tagId, MatchEntry& entry) {
    PDB resolved = NULL;
    tagId = 0;
    entry.tagRef = tagRef;
    entry.resolved = ApphelpApi.SdbTagRefToTagID(context.Handle(), tagRef, &resolved, &tagId) != 0;
    if (!entry.resolved) {
        return false;
    }
    database.Take(resolved, true);
    entry.name = NameOf(database.Handle(), tagId);
    return true;
}

// No entry of a real database nests this many; an engine that never answers 0 stops here.
const int MostNestedEntries = 4096;

void AddNestedEntries(PDB database, TAGID parent, TAG tag, MatchEntry& entry) {
    int added = 0;
    for (TAGID child = ApphelpApi.SdbFindFirstTag(database, parent, tag);
         child != 0 && added < MostNestedEntries;
         child = ApphelpApi.SdbFindNextTag(database, parent, child), ++added) {
        const NestedEntry nested = {tag, NameOf(database, child)};
        entry.nested.push_back(nested);
    }
}

void AddExeLine(const ContextHandleHolder& context, const RecordView& record, DWORD index,
                MatchReport& report) {
    DatabaseHandleHolder database;
    TAGID tagId = 0;
    MatchLine line = MakeMatchLine(MatchLineKind::Exe);
    if (NameEntry(context, record.exeTagRefs[index], database, tagId, line.entry)) {
        if (ApphelpApi.SdbFindNextTag == NULL) {
            line.entry.nestedMissing = MissingEntryText(L"SdbFindNextTag");
        } else {
            AddNestedEntries(database.Handle(), tagId, sdb::TAG_LAYER, line.entry);
            AddNestedEntries(database.Handle(), tagId, sdb::TAG_SHIM_REF, line.entry);
        }
    }
    line.hasFlags = record.exeFlags != NULL && record.exeFlags[index] != 0;
    line.value = line.hasFlags ? record.exeFlags[index] : 0;
    report.lines.push_back(line);
}

void AddLayerLine(const ContextHandleHolder& context, TAGREF tagRef, MatchReport& report) {
    DatabaseHandleHolder database;
    TAGID tagId = 0;
    MatchLine line = MakeMatchLine(MatchLineKind::Layer);
    NameEntry(context, tagRef, database, tagId, line.entry);
    report.lines.push_back(line);
}

void AddValueLine(MatchReport& report, MatchLineKind kind, DWORD value) {
    if (value != 0) {
        MatchLine line = MakeMatchLine(kind);
        line.value = value;
        report.lines.push_back(line);
    }
}

void AddRecordLines(const ContextHandleHolder& context, const RecordView& record,
                    MatchReport& report) {
    if (record.exeCount + record.layerCount != 0) {
        const bool nameable = LookupEntriesAvailable(report);
        const DWORD exeCount = nameable ? record.exeCount : 0;
        for (DWORD i = 0; i < exeCount; ++i) {
            AddExeLine(context, record, i, report);
        }
        const DWORD layerCount = nameable ? record.layerCount : 0;
        for (DWORD i = 0; i < layerCount; ++i) {
            AddLayerLine(context, record.layerTagRefs[i], report);
        }
    }
    AddValueLine(report, MatchLineKind::LayerFlags, record.layerFlags);
    AddValueLine(report, MatchLineKind::ResultFlags, record.resultFlags);
    AddValueLine(report, MatchLineKind::Apphelp, record.apphelpTagRef);
    AddDatabaseLines(report, record.customDbMap, *record.databaseIds);
}

} // namespace

void AddQueryResultLines(const ContextHandleHolder& context, const SdbQueryResult456& record,
                         MatchReport& report) {
    RecordView view = ViewOf(record);
    view.exeFlags = record.exeFlags;
    AddRecordLines(context, view, report);
}

void AddQueryResultLines(const ContextHandleHolder& context, const SdbQueryResult344& record,
                         MatchReport& report) {
    AddRecordLines(context, ViewOf(record), report);
}
