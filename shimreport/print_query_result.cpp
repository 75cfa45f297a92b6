// Writes a match record's entries, flags, apphelp reference and databases.
#include "print_query_result.h"

#include <ios>
#include <iterator>

#include "apphelp_api.h"
#include "database_handle_holder.h"
#include "database_lines.h"
#include "missing_entry.h"
#include "print_result_flags.h"
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

// Which kinds of entry the lookups can print. A LAYER entry is resolved and named; an EXE entry
// also walks its nested lists, which takes SdbFindNextTag besides.
struct PrintableEntries {
    bool exe;
    bool layer;
};

PrintableEntries LookupEntriesAvailable(const RecordView& record, ReportStream& stream) {
    // Every missing entry that the record's entries need gets its line, so all are asked.
    bool named = EntryAvailable(stream, ApphelpApi.SdbTagRefToTagID, L"SdbTagRefToTagID");
    named = EntryAvailable(stream, ApphelpApi.SdbFindFirstTag, L"SdbFindFirstTag") && named;
    const bool walked = record.exeCount == 0 ||
                        EntryAvailable(stream, ApphelpApi.SdbFindNextTag, L"SdbFindNextTag");
    named = EntryAvailable(stream, ApphelpApi.SdbGetStringTagPtr, L"SdbGetStringTagPtr") && named;
    const PrintableEntries printable = {named && walked, named};
    return printable;
}

void WriteName(ReportStream& stream, PDB database, TAGID parent) {
    TAGID nameTag = ApphelpApi.SdbFindFirstTag(database, parent, sdb::TAG_NAME);
    const wchar_t* name = ApphelpApi.SdbGetStringTagPtr(database, nameTag);
    stream << (name != NULL ? name : L"<null>");
}

// Writes "(0x", the reference, ") " and the entry's name, or the failure in their place.
// When resolved, the holder borrows the entry's database and tagId is the entry within it.
bool WriteEntryHeading(const ContextHandleHolder& context, TAGREF tagRef,
                       DatabaseHandleHolder& database, TAGID& tagId, ReportStream& stream) {
    PDB resolved = NULL;
    tagId = 0;
    if (!ApphelpApi.SdbTagRefToTagID(context.Handle(), tagRef, &resolved, &tagId)) {
        stream << L"TagRefToTagID failed";
        return false;
    }
    database.Take(resolved, true);
    stream << L"(0x" << std::hex << tagRef << L") ";
    WriteName(stream, database.Handle(), tagId);
    return true;
}

// No entry of a real database nests this many; an engine that never answers 0 stops here.
const int MostNestedEntries = 4096;

void WriteNestedEntries(ReportStream& stream, PDB database, TAGID parent, TAG tag) {
    int written = 0;
    for (TAGID child = ApphelpApi.SdbFindFirstTag(database, parent, tag);
         child != 0 && written < MostNestedEntries;
         child = ApphelpApi.SdbFindNextTag(database, parent, child), ++written) {
        stream << crlf << L"  - ";
        WriteName(stream, database, child);
    }
}

void WriteExeEntry(const ContextHandleHolder& context, const RecordView& record, DWORD index,
                   ReportStream& stream) {
    DatabaseHandleHolder database;
    TAGID tagId = 0;
    stream << L"EXE: ";
    if (WriteEntryHeading(context, record.exeTagRefs[index], database, tagId, stream)) {
        WriteNestedEntries(stream, database.Handle(), tagId, sdb::TAG_LAYER);
        WriteNestedEntries(stream, database.Handle(), tagId, sdb::TAG_SHIM_REF);
    }
    if (record.exeFlags != NULL && record.exeFlags[index] != 0) {
        stream << L", with flags: ";
        PrintResultFlags(stream, record.exeFlags[index]);
    }
    stream << crlf;
}

void WriteLayerEntry(const ContextHandleHolder& context, TAGREF tagRef, ReportStream& stream) {
    DatabaseHandleHolder database;
    TAGID tagId = 0;
    stream << L"LAYER: ";
    WriteEntryHeading(context, tagRef, database, tagId, stream);
    stream << crlf;
}

void PrintRecord(const ContextHandleHolder& context, const RecordView& record,
                 ReportStream& stream) {
    if (record.exeCount + record.layerCount != 0) {
        const PrintableEntries printable = LookupEntriesAvailable(record, stream);
        const DWORD exeCount = printable.exe ? record.exeCount : 0;
        for (DWORD i = 0; i < exeCount; ++i) {
            WriteExeEntry(context, record, i, stream);
        }
        const DWORD layerCount = printable.layer ? record.layerCount : 0;
        for (DWORD i = 0; i < layerCount; ++i) {
            WriteLayerEntry(context, record.layerTagRefs[i], stream);
        }
    }
    if (record.layerFlags != 0) {
        stream << L"LayerFlags: ";
        PrintResultFlags(stream, record.layerFlags) << crlf;
    }
    if (record.resultFlags != 0) {
        stream << L"Flags: ";
        PrintResultFlags(stream, record.resultFlags) << crlf;
    }
    if (record.apphelpTagRef != 0) {
        // Printed in whatever base the stream holds: no prefix, no base of its own.
        stream << L"Apphelp: " << record.apphelpTagRef << crlf;
    }
    PrintDatabaseLines(stream, record.customDbMap, *record.databaseIds);
}

} // namespace

void PrintQueryResult(const ContextHandleHolder& context, const SdbQueryResult456& record,
                      ReportStream& stream) {
    RecordView view = ViewOf(record);
    view.exeFlags = record.exeFlags;
    PrintRecord(context, view, stream);
}

void PrintQueryResult(const ContextHandleHolder& context, const SdbQueryResult344& record,
                      ReportStream& stream) {
    PrintRecord(context, ViewOf(record), stream);
}
