// The verdict of EXE entries of a shim database for one program, condition by condition.
#pragma once

#include "match_values.h"
#include "match_world.h"

#include "sdb_exe_lookup.h"
#include "sdb_guid.h"
#include "sdb_reader.h"

#include <vector>

// The verdict on one condition. A MATCHING_FILE, PICK_ONE or other list holds its own
// conditions in `children`.
struct ConditionResult {
    sdb::TAG tag = 0;    // the condition's tag (SIZE, MATCHING_FILE, RUNTIME_PLATFORM, ...)
    sdb::TAGID item = 0; // where the database holds it
    Verdict verdict = Verdict::Unknown;
    Rule rule = Rule::NotComputed; // the rule applied; RuleEvidence() gives its label
    MatchValue wanted;             // as the database gives it
    MatchValue actual;             // as the file, system or program gives it; Absent when none
    // The rules that are neither checked on Windows nor seen in real databases and on which
    // this verdict rests (empty for an Unknown verdict).
    std::vector<Rule> assumes;
    std::vector<ConditionResult> children;
    bool negated = false; // MATCH_LOGIC_NOT applied to this list's verdict
    // A file or folder condition: the path looked at (empty when it could not be built),
    // and whether the 32-bit view of a 64-bit system changed it.
    std::u16string path;
    bool wow64View = false;
};

// The verdict on one EXE entry.
struct EntryResult {
    const sdb::Database* db = nullptr;
    sdb::TAGID exe = 0;
    sdb::ExeSource source = sdb::ExeSource::name;
    EntryVerdict verdict = EntryVerdict::Unknown;
    // MatchedIf: the rules that must hold for the match. NotMatched: the rules neither
    // checked nor seen on which the failure rests (empty when a firm rule decided it).
    std::vector<Rule> assumes;
    std::vector<ConditionResult> conditions; // the lookup's own condition first
    std::u16string name, appName, vendor;
    bool hasExeId = false;
    sdb::Guid exeId = {};
    bool hasMatchMode = false; // MATCH_MODE given; its effect is unconfirmed (Rule::MatchMode)
    std::uint16_t matchMode = 0;
};

// Evaluates one entry found by `source` for the program.
EntryResult EvaluateEntry(const sdb::Database& db, sdb::TAGID exe, sdb::ExeSource source,
                          const ProgramFacts& program, const SystemFacts& system,
                          MatchWorld& world);

// How much of a not-matched entry a caller needs.
enum class CandidateDetail {
    Full, // every entry with all its conditions (an explanation)
    // An entry that fails a condition checked on Windows against the program's own
    // attributes (an exact number or string of MATCHING_FILE `*` without NOT) comes back
    // NotMatched at once, with its lookup facts only: no names, no conditions. For callers
    // that only act on the other verdicts (the engine, a report of matches).
    SkipFirmFailures,
};

// Every candidate entry of one database for the program, in lookup order (wildcard names,
// exact names, 16-bit module names), each evaluated.
std::vector<EntryResult> EvaluateCandidates(const sdb::ExeIndex& index, const ProgramFacts& program,
                                            const SystemFacts& system, MatchWorld& world,
                                            CandidateDetail detail = CandidateDetail::Full);

// The same for candidates the caller found (and may have kept for other files of that name).
std::vector<EntryResult> EvaluateFound(const sdb::Database& db,
                                       const std::vector<sdb::ExeCandidate>& candidates,
                                       const ProgramFacts& program, const SystemFacts& system,
                                       MatchWorld& world,
                                       CandidateDetail detail = CandidateDetail::Full);

// True for the verdicts an engine that must say yes or no counts as a match: Matched and
// MatchedIf; Unknown and NotMatched are no match.
inline bool CountsAsMatch(EntryVerdict verdict) {
    return verdict == EntryVerdict::Matched || verdict == EntryVerdict::MatchedIf;
}

// The last component of a path (after the last '\\' or '/').
std::u16string FileNameOfPath(const std::u16string& path);
