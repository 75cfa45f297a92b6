// The typed pieces of a match verdict: evidence labels, rules, verdicts and values.
#pragma once

#include <cstdint>
#include <string>

// How well a rule is established (see the matching notes in the README).
enum class Evidence {
    CheckedOnWindows,
    SeenInRealDatabases,
    ReportedByReimplementation,
    Unconfirmed,
};

// Every rule the evaluator applies. Each has one short name and one evidence label.
enum class Rule {
    ExactValue,           // numbers compared for equality
    StringWithoutCase,    // whole strings compared without case
    UpToAtMost,           // UPTO_*: the file's value at most the bound
    FromAtLeast,          // FROM_*: the file's value at least the bound
    VersionAnyWord,       // a 0xFFFF word of a version condition stands for any
    StringWildcard,       // `*` in a wanted string is a pattern
    VersionPlus,          // a version string ending in `+`
    NoSuchAttribute,      // the file has no such attribute: not evaluated
    NotComputed,          // a condition this evaluator cannot compute
    FileMissing,          // a MATCHING_FILE that does not exist fails
    FileUnreadable,       // the file exists but could not be read
    ProgramItself,        // MATCHING_FILE `*` is the program
    BesideProgram,        // a plain name is a file in the program's folder
    RelativeToProgram,    // a name with folders is relative to the program's folder
    EnvironmentPath,      // a leading %variable% is expanded
    AbsolutePath,         // a name with a drive or server is taken as it is
    FolderView,           // system32 and Program Files seen by a 32-bit program on 64-bit Windows
    LogicNot,             // MATCH_LOGIC_NOT inverts its list
    NotMissingFile,       // a missing file satisfies MATCH_LOGIC_NOT
    PickOneOr,            // PICK_ONE holds when one of its lists holds
    RuntimePlatform,      // RUNTIME_PLATFORM against the program's machine
    DestinationOs,        // DEST_OS_GTE and kin against the target Windows build
    OsFilter,             // OS_KIND, MITIGATION_OS and other OS filters
    MatchingRegistry,     // MATCHING_REG against a registry view
    MatchingText,         // MATCHING_TEXT: text inside a file
    MatchingDirectory,    // MATCHING_DIR: a folder exists
    MatchingWildcardFile, // MATCHING_WILDCARD_FILE: a file found by pattern
    RunTimeOnly,          // PROCESS_MODULE, MATCH_PLUGIN: only known while the program runs
    ModuleName16,         // 16BIT_MODULE_NAME against the file's NE module name
    NameWithFolder,       // an EXE NAME with a folder part
    EntryName,            // the EXE NAME equals the file name without case
    WildcardName,         // the EXE wildcard pattern fits the file name
    AnyName,              // the EXE wildcard pattern is `*` alone
    MatchMode,            // MATCH_MODE's effect
};

// A condition's verdict.
enum class Verdict { Holds, Fails, Unknown };

// An entry's verdict.
enum class EntryVerdict {
    Matched,    // every condition holds under rules checked on Windows or seen in databases
    MatchedIf,  // holds if the rules in `assumes` hold
    Unknown,    // a condition could not be computed and none fails
    NotMatched, // a condition fails
};

const char* RuleName(Rule rule); // "exact", "upto-at-most", ...
Evidence RuleEvidence(Rule rule);
// True for rules checked on Windows or seen in real databases.
bool RuleIsFirm(Rule rule);
const char* EvidenceName(Evidence evidence);        // "checked-on-windows", ...
const char* VerdictName(Verdict verdict);           // "holds", "fails", "unknown"
const char* EntryVerdictName(EntryVerdict verdict); // "matched", "matched-if", ...

// A wanted or actual value, as the database or the file holds it.
enum class ValueKind {
    Absent,   // nothing (a missing attribute, a missing file)
    Number,   // at most 32 bits
    Number64, // a QWORD that is no version
    Version,  // a QWORD version a.b.c.d
    String,
};

struct MatchValue {
    ValueKind kind = ValueKind::Absent;
    std::uint64_t number = 0; // Number, Number64, Version
    std::u16string text;      // String
};

MatchValue NumberValue(std::uint64_t number, bool wide);
MatchValue VersionValue(std::uint64_t raw);
MatchValue StringValue(std::u16string text);

// A version's dotted text, "1.2.3.4"; a 0xFFFF word is written as "*".
std::string VersionText(std::uint64_t raw);
