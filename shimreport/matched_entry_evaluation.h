// The evaluator's verdict on each EXE entry the engine matched, read from its database file.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "explanation.h"

// Evaluates the engine's matched entries for one program. The program's facts, the running
// system's and each database file are read once, at first need, and kept for later entries.
class MatchedEntryEvaluation {
public:
    explicit MatchedEntryEvaluation(const std::wstring& program);
    ~MatchedEntryEvaluation();
    MatchedEntryEvaluation(const MatchedEntryEvaluation&) = delete;
    MatchedEntryEvaluation& operator=(const MatchedEntryEvaluation&) = delete;

    // The entry at tagId (the engine's TAGID, the item's offset in the file) of the database
    // at databasePath, which the engine says is an EXE named engineName. When the file cannot
    // be read or holds no such EXE there, says so in the result and evaluates nothing.
    ExplainedEvaluation Evaluate(const EngineText& databasePath, TAGID tagId,
                                 const EngineText& engineName);

private:
    struct State;
    std::unique_ptr<State> state_;
};
