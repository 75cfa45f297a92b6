// Why a file matched, as typed records: the text and the JSON are both written from them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "match_lines.h"
#include "shim_types.h"

// A text the engine may not give: known false when it gave none.
struct EngineText {
    bool known;
    std::wstring text;
};

enum class ConditionVerdict {
    Holds,
    Fails,
    NotEvaluated, // the file's value cannot be had: no such file, or a call is missing
    NoAttribute,  // the file lacks the attribute; whether the engine then counts it met is unknown
    UnknownType   // the condition or the file's attribute is of a type no rule compares
};

// One condition of a MATCHING_FILE beside the value the file really has, each as the engine
// formats it ("SIZE=0x1000", "COMPANY_NAME=\"Contoso\"").
struct ExplainedCondition {
    TAG tag;
    EngineText tagName;
    EngineText wanted;
    EngineText actual;
    ConditionVerdict verdict;
};

enum class FileState {
    Present,
    Missing,   // no file of that name
    Unreadable // there, but the engine gives no attributes for it
};

// One MATCHING_FILE: its name as the database gives it ("*" is the program itself), the path
// it names, and its conditions.
struct ExplainedFile {
    EngineText name;
    std::wstring path;
    FileState state;
    bool attributesRead; // the engine's attribute calls were made for it
    bool negated;        // MATCH_LOGIC_NOT: the file holds unless it is there and meets them all
    std::vector<ExplainedCondition> conditions;
};

// A shim, patch or flag that an entry or a layer brings: its reference's name and command
// line, and what its definition in the library gives.
struct ExplainedFix {
    TAG tag; // TAG_SHIM_REF, TAG_PATCH_REF or TAG_FLAG_REF
    EngineText name;
    bool defined; // its definition was found in the library
    EngineText dll;
    EngineText commandLine;
};

// Where a layer of the block comes from.
struct LayerOrigin {
    bool matched;       // named by the match record
    bool storedUser;    // stored for the file per user
    bool storedMachine; // stored for the file per machine
};

struct ExplainedLayer {
    MatchEntry entry; // resolved false for a stored layer the match record does not name
    LayerOrigin origin;
    std::vector<ExplainedFix> fixes;
};

// One matched EXE entry.
struct ExplainedExe {
    MatchEntry entry;
    EngineText databaseId;
    EngineText databasePath;
    EngineText name;
    EngineText appName;
    EngineText vendor;
    bool wildcard;            // NAME holds '*' or '?'
    std::wstring matchedName; // the file name a wildcard NAME matched
    std::vector<ExplainedFile> files;
    std::vector<EngineText> layers; // the names of its nested LAYERs
    std::vector<ExplainedFix> fixes;
    bool hasFlags;
    DWORD flags;
};

struct Explanation {
    std::vector<std::wstring> problems; // a missing engine entry or library, one line each
    std::vector<ExplainedExe> exes;
    std::vector<ExplainedLayer> layers;
};
