// Reads the matched entries and their fixes through the engine, and has each entry evaluated.
#include "explain_match.h"

#include <cstring>
#include <cwchar>

#include "../common/handle_holder.h"
#include "../sdb/sdb_tags.h"
#include "apphelp_api.h"
#include "database_location.h"
#include "guid_to_text.h"
#include "matched_entry_evaluation.h"
#include "missing_entry.h"

namespace {

// No entry of a real database has this many children; an engine that never answers 0 stops.
const int MostChildren = 4096;
// No library of a real database defines this many fixes.
const int MostDefinitions = 65536;

EngineText Given(const wchar_t* text) {
    EngineText known = {text != NULL, text != NULL ? text : L""};
    return known;
}

EngineText NotGiven(const std::wstring& why) {
    const EngineText unknown = {false, why};
    return unknown;
}

// Which groups of entries the explanation can use; each missing entry is said once.
struct Abilities {
    bool walk;       // reading entries and their children
    bool databaseId; // reading the DATABASE_ID
};

template <typename Entry>
bool Have(Explanation& explanation, Entry entry, const wchar_t* entryName) {
    if (entry == NULL) {
        explanation.problems.push_back(MissingEntryText(entryName));
    }
    return entry != NULL;
}

Abilities CheckEntries(Explanation& explanation) {
    Abilities can;
    can.walk = Have(explanation, ApphelpApi.SdbTagRefToTagID, L"SdbTagRefToTagID");
    can.walk = Have(explanation, ApphelpApi.SdbFindFirstTag, L"SdbFindFirstTag") && can.walk;
    can.walk = Have(explanation, ApphelpApi.SdbFindNextTag, L"SdbFindNextTag") && can.walk;
    can.walk = Have(explanation, ApphelpApi.SdbGetFirstChild, L"SdbGetFirstChild") && can.walk;
    can.walk = Have(explanation, ApphelpApi.SdbGetNextChild, L"SdbGetNextChild") && can.walk;
    can.walk = Have(explanation, ApphelpApi.SdbGetTagFromTagID, L"SdbGetTagFromTagID") && can.walk;
    can.walk = Have(explanation, ApphelpApi.SdbGetStringTagPtr, L"SdbGetStringTagPtr") && can.walk;
    can.walk = Have(explanation, ApphelpApi.SdbReadDWORDTag, L"SdbReadDWORDTag") && can.walk;
    // Without them the evaluator sees no file's attributes; its verdicts say so.
    Have(explanation, ApphelpApi.SdbGetFileAttributes, L"SdbGetFileAttributes");
    Have(explanation, ApphelpApi.SdbFreeFileAttributes, L"SdbFreeFileAttributes");
    can.databaseId = Have(explanation, ApphelpApi.SdbGetTagDataSize, L"SdbGetTagDataSize");
    can.databaseId =
        Have(explanation, ApphelpApi.SdbGetBinaryTagData, L"SdbGetBinaryTagData") && can.databaseId;
    return can;
}

struct Reader {
    const ContextHandleHolder& context;
    const Abilities& can;
    std::wstring program; // the matched program's path
    MatchedEntryEvaluation& evaluation;
};

EngineText StringChild(PDB database, TAGID parent, TAG tag) {
    return Given(
        ApphelpApi.SdbGetStringTagPtr(database, ApphelpApi.SdbFindFirstTag(database, parent, tag)));
}

bool SameName(const EngineText& left, const EngineText& right) {
    return left.known && right.known &&
           CompareStringOrdinal(left.text.c_str(), static_cast<int>(left.text.size()),
                                right.text.c_str(), static_cast<int>(right.text.size()),
                                TRUE) == CSTR_EQUAL;
}

EngineText DatabaseIdOf(const Reader& reader, PDB database) {
    if (!reader.can.databaseId) {
        return NotGiven(L"");
    }
    const TAGID list = ApphelpApi.SdbFindFirstTag(database, 0, sdb::TAG_DATABASE);
    const TAGID id = ApphelpApi.SdbFindFirstTag(database, list, sdb::TAG_DATABASE_ID);
    if (id == 0) {
        return NotGiven(L"no DATABASE_ID");
    }
    const DWORD size = ApphelpApi.SdbGetTagDataSize(database, id);
    const void* bytes = ApphelpApi.SdbGetBinaryTagData(database, id);
    // Only the 16 bytes the engine says it holds are read, and only when they are a GUID.
    if (size != sizeof(GUID) || bytes == NULL) {
        return NotGiven(L"DATABASE_ID of " + std::to_wstring(size) + L" bytes, not a GUID");
    }
    GUID guid;
    std::memcpy(&guid, bytes, sizeof guid);
    const std::wstring text = GuidToText(guid);
    return text.empty() ? NotGiven(MissingEntryText(L"SdbGUIDToString")) : Given(text.c_str());
}

// The library entry a reference names: by its TAGID child when that points at an entry of the
// right tag, else by name.
TAGID DefinitionOf(PDB database, TAGID reference, TAG idTag, TAG definitionTag,
                   const EngineText& name) {
    const TAGID byId = ApphelpApi.SdbReadDWORDTag(
        database, ApphelpApi.SdbFindFirstTag(database, reference, idTag), 0);
    if (byId != 0 && ApphelpApi.SdbGetTagFromTagID(database, byId) == definitionTag) {
        return byId;
    }
    const TAGID list = ApphelpApi.SdbFindFirstTag(database, 0, sdb::TAG_DATABASE);
    const TAGID library = ApphelpApi.SdbFindFirstTag(database, list, sdb::TAG_LIBRARY);
    if (library == 0 || !name.known) {
        return 0;
    }
    int looked = 0;
    for (TAGID entry = ApphelpApi.SdbFindFirstTag(database, library, definitionTag);
         entry != 0 && looked < MostDefinitions;
         entry = ApphelpApi.SdbFindNextTag(database, library, entry), ++looked) {
        if (SameName(StringChild(database, entry, sdb::TAG_NAME), name)) {
            return entry;
        }
    }
    return 0;
}

ExplainedFix ExplainFix(PDB database, TAGID reference, TAG tag) {
    ExplainedFix fix;
    fix.tag = tag;
    fix.name = StringChild(database, reference, sdb::TAG_NAME);
    fix.commandLine = StringChild(database, reference, sdb::TAG_COMMAND_LINE);
    const TAG idTag = tag == sdb::TAG_SHIM_REF    ? sdb::TAG_SHIM_TAGID
                      : tag == sdb::TAG_PATCH_REF ? sdb::TAG_PATCH_TAGID
                                                  : sdb::TAG_FLAG_TAGID;
    const TAG definitionTag = tag == sdb::TAG_SHIM_REF    ? sdb::TAG_SHIM
                              : tag == sdb::TAG_PATCH_REF ? sdb::TAG_PATCH
                                                          : sdb::TAG_FLAG;
    const TAGID definition = DefinitionOf(database, reference, idTag, definitionTag, fix.name);
    fix.defined = definition != 0;
    fix.dll = fix.defined ? StringChild(database, definition, sdb::TAG_DLLFILE) : Given(NULL);
    if (!fix.commandLine.known && fix.defined) {
        fix.commandLine = StringChild(database, definition, sdb::TAG_COMMAND_LINE);
    }
    return fix;
}

bool IsFix(TAG tag) {
    return tag == sdb::TAG_SHIM_REF || tag == sdb::TAG_PATCH_REF || tag == sdb::TAG_FLAG_REF;
}

void AddFixes(PDB database, TAGID parent, std::vector<ExplainedFix>& fixes,
              std::vector<EngineText>* layers) {
    int children = 0;
    for (TAGID child = ApphelpApi.SdbGetFirstChild(database, parent);
         child != 0 && children < MostChildren;
         child = ApphelpApi.SdbGetNextChild(database, parent, child), ++children) {
        const TAG tag = ApphelpApi.SdbGetTagFromTagID(database, child);
        if (IsFix(tag)) {
            fixes.push_back(ExplainFix(database, child, tag));
        } else if (tag == sdb::TAG_LAYER && layers != NULL) {
            layers->push_back(StringChild(database, child, sdb::TAG_NAME));
        }
    }
}

std::wstring FileNameOf(const std::wstring& path) {
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

ExplainedExe ExplainExe(const Reader& reader, const MatchLine& line) {
    ExplainedExe exe;
    exe.entry = line.entry;
    exe.entry.nested.clear();
    exe.databaseId = NotGiven(L"");
    exe.databasePath = NotGiven(L"");
    exe.wildcard = false;
    exe.evaluation.evaluated = false;
    exe.evaluation.countsAsMatch = false;
    exe.evaluation.nameFits = false;
    exe.hasFlags = line.hasFlags;
    exe.flags = line.value;
    PDB database = NULL;
    TAGID tagId = 0;
    if (!line.entry.resolved ||
        !ApphelpApi.SdbTagRefToTagID(reader.context.Handle(), line.entry.tagRef, &database,
                                     &tagId)) {
        exe.entry.resolved = false;
        return exe;
    }
    exe.databaseId = DatabaseIdOf(reader, database);
    exe.databasePath = DatabasePathOf(reader.context.Handle(), line.entry.tagRef, exe.databaseId);
    exe.name = StringChild(database, tagId, sdb::TAG_NAME);
    exe.appName = StringChild(database, tagId, sdb::TAG_APP_NAME);
    exe.vendor = StringChild(database, tagId, sdb::TAG_VENDOR);
    exe.wildcard = exe.name.known && exe.name.text.find_first_of(L"*?") != std::wstring::npos;
    if (exe.wildcard) {
        exe.matchedName = FileNameOf(reader.program);
    }
    exe.evaluation = reader.evaluation.Evaluate(exe.databasePath, tagId, exe.name);
    AddFixes(database, tagId, exe.fixes, &exe.layers);
    return exe;
}

ExplainedLayer ExplainLayer(const Reader& reader, const MatchLine& line) {
    ExplainedLayer layer;
    layer.entry = line.entry;
    const LayerOrigin matched = {true, false, false};
    layer.origin = matched;
    PDB database = NULL;
    TAGID tagId = 0;
    if (!line.entry.resolved ||
        !ApphelpApi.SdbTagRefToTagID(reader.context.Handle(), line.entry.tagRef, &database,
                                     &tagId)) {
        layer.entry.resolved = false;
        return layer;
    }
    AddFixes(database, tagId, layer.fixes, NULL);
    return layer;
}

// The names of a stored layer string: words separated by spaces, without the flag words.
std::vector<std::wstring> LayerNames(const std::wstring& layers) {
    std::vector<std::wstring> names;
    std::wstring::size_type at = 0;
    while (at < layers.size()) {
        const std::wstring::size_type end = layers.find(L' ', at);
        std::wstring word = layers.substr(at, end == std::wstring::npos ? end : end - at);
        at = end == std::wstring::npos ? layers.size() : end + 1;
        const std::wstring::size_type start = word.find_first_not_of(L"~#!");
        if (start != std::wstring::npos) {
            names.push_back(word.substr(start));
        }
    }
    return names;
}

void MarkStored(Explanation& explanation, const std::wstring& layers, bool LayerOrigin::*side) {
    for (const std::wstring& name : LayerNames(layers)) {
        const EngineText stored = {true, name};
        bool found = false;
        for (ExplainedLayer& layer : explanation.layers) {
            const EngineText layerName = {layer.entry.name.named, layer.entry.name.name};
            if (SameName(layerName, stored)) {
                layer.origin.*side = true;
                found = true;
            }
        }
        if (!found) {
            ExplainedLayer layer;
            layer.entry = MakeMatchLine(MatchLineKind::Layer).entry;
            layer.entry.name.named = true;
            layer.entry.name.name = name;
            const LayerOrigin none = {false, false, false};
            layer.origin = none;
            layer.origin.*side = true;
            explanation.layers.push_back(layer);
        }
    }
}

} // namespace

Explanation ExplainMatch(const ContextHandleHolder& context, const MatchReport& report,
                         const std::wstring& path) {
    Explanation explanation;
    bool anyEntry = false;
    for (const MatchLine& line : report.lines) {
        anyEntry = anyEntry || line.kind == MatchLineKind::Exe || line.kind == MatchLineKind::Layer;
    }
    if (!anyEntry) {
        return explanation;
    }
    const Abilities can = CheckEntries(explanation);
    if (!can.walk) {
        return explanation;
    }
    MatchedEntryEvaluation evaluation(path);
    const Reader reader = {context, can, path, evaluation};
    for (const MatchLine& line : report.lines) {
        if (line.kind == MatchLineKind::Exe) {
            explanation.exes.push_back(ExplainExe(reader, line));
        } else if (line.kind == MatchLineKind::Layer) {
            explanation.layers.push_back(ExplainLayer(reader, line));
        }
    }
    return explanation;
}

void AddStoredLayers(Explanation& explanation, bool perUser, const std::wstring& userLayers,
                     bool perMachine, const std::wstring& machineLayers) {
    if (perUser) {
        MarkStored(explanation, userLayers, &LayerOrigin::storedUser);
    }
    if (perMachine) {
        MarkStored(explanation, machineLayers, &LayerOrigin::storedMachine);
    }
}
