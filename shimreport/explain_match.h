// The explanation of a match, read through the engine in the context of that match.
#pragma once

#include <string>

#include "context_handle_holder.h"
#include "explanation.h"
#include "match_lines.h"

// Explains the report's EXE and LAYER lines: each entry is read through the engine's database
// calls in the match's context, and each EXE entry judged by the evaluator from its database file
// (see MatchedEntryEvaluation). A missing entry of the engine gives one problem line and the rest
// goes on without it. path is the matched program, whose conditions the evaluator judges.
Explanation ExplainMatch(const ContextHandleHolder& context, const MatchReport& report,
                         const std::wstring& path);

// Marks the explanation's layers stored for the file, per user and per machine (the engine's
// layer strings: names separated by spaces, flag characters first), and adds each stored name
// that no matched layer has.
void AddStoredLayers(Explanation& explanation, bool perUser, const std::wstring& userLayers,
                     bool perMachine, const std::wstring& machineLayers);
