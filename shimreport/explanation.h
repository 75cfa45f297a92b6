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

// A value a condition wants or finds, typed as the evaluator gives it.
enum class ExplainedValueKind {
    Absent,   // nothing: a missing attribute or file
    Number,   // at most 32 bits
    Number64, // a QWORD that is no version
    Version,  // a QWORD version a.b.c.d
    String
};

struct ExplainedValue {
    ExplainedValueKind kind;
    ULONGLONG number;  // Number, Number64, Version (raw)
    std::wstring text; // String; a Version's dotted text, "1.2.3.4", "*" for a 0xFFFF word
};

// A rule the evaluator applied, by its short name, with the evidence it rests on.
struct ExplainedRule {
    std::string name;     // "exact", "string-wildcard", ...
    std::string evidence; // "checked-on-windows", "unconfirmed", ...
};

// One condition of an entry as the evaluator judged it; a MATCHING_FILE, PICK_ONE or other
// list holds its own conditions in children.
struct ExplainedCondition {
    TAG tag;
    std::string tagName; // "SIZE"; "0x1234" for a tag without a name
    std::string verdict; // "holds", "fails", "unknown"
    ExplainedRule rule;
    std::vector<std::string> assumes; // the unconfirmed rules the verdict rests on
    ExplainedValue wanted;
    ExplainedValue actual;
    bool negated;      // MATCH_LOGIC_NOT turned the list's verdict round
    std::wstring path; // a file or folder condition: the path looked at; empty when none
    bool wow64View;    // the 32-bit view of a 64-bit system changed that path
    std::vector<ExplainedCondition> children;
};

// The evaluator's verdict on an entry the engine matched.
struct ExplainedEvaluation {
    bool evaluated; // false: `problem` says why the evaluator could not look at it
    std::wstring problem;
    std::string verdict;              // "matched", "matched-if", "unknown", "not-matched"
    bool countsAsMatch;               // matched or matched-if
    std::vector<std::string> assumes; // the rules neither checked nor seen it rests on
    // MATCH_MODE, when the entry gives one: its value and the evidence for its effect.
    bool hasMatchMode;
    unsigned matchMode;
    std::string matchModeEvidence;
    bool nameFits;         // the entry's name or pattern fits the file: a candidate at all
    std::wstring fileName; // the program's file name the name was held against
    // For a verdict that is no match: the rules that decided it (failing or unknown parts).
    std::vector<ExplainedRule> decidedBy;
    std::vector<ExplainedCondition> conditions; // the name's own condition first

    // The engine matched the entry; the evaluator would not have.
    bool Disagrees() const { return evaluated && (!countsAsMatch || !nameFits); }
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
    ExplainedEvaluation evaluation;
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
