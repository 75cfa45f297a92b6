// Writes an explanation's typed records as the block's text.
#include "explanation_text.h"

#include <cstdio>
#include <ios>

#include "../sdb/sdb_tags.h"
#include "print_result_flags.h"

namespace {

// A text the engine gave, or why it gave none.
std::wstring Shown(const EngineText& text) {
    if (text.known) {
        return text.text;
    }
    return text.text.empty() ? L"unknown" : L"unknown (" + text.text + L")";
}

std::wstring Optional(const EngineText& text) {
    return text.known ? text.text : L"none";
}

void WriteEntryHeader(const wchar_t* kind, const MatchEntry& entry, ReportStream& stream) {
    stream << kind;
    if (entry.resolved) {
        stream << L"(0x" << std::hex << entry.tagRef << L") "
               << (entry.name.named ? entry.name.name : L"<null>");
    } else if (entry.tagRef != 0) {
        stream << L"(0x" << std::hex << entry.tagRef << L") the engine cannot resolve it";
    } else {
        stream << (entry.name.named ? entry.name.name : L"<null>");
    }
}

std::wstring Widened(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::wstring Hex(ULONGLONG number) {
    wchar_t text[24];
    std::swprintf(text, 24, L"0x%llX", number);
    return text;
}

// Numbers in hex as the engine formats them; a version dotted, its raw value beside it.
std::wstring ValueText(const ExplainedValue& value) {
    switch (value.kind) {
    case ExplainedValueKind::Number:
    case ExplainedValueKind::Number64:
        return Hex(value.number);
    case ExplainedValueKind::Version:
        return value.text + L" (" + Hex(value.number) + L")";
    case ExplainedValueKind::String:
        return L"\"" + value.text + L"\"";
    default:
        return L"none";
    }
}

std::wstring RuleText(const ExplainedRule& rule) {
    return Widened(rule.name) + L", " + Widened(rule.evidence);
}

std::wstring Joined(const std::vector<std::string>& names) {
    std::wstring text;
    for (const std::string& name : names) {
        text += (text.empty() ? L"" : L", ") + Widened(name);
    }
    return text;
}

// "holds: SIZE wanted 0x1000, actual 0x1000 [exact, checked-on-windows]", its parts below it.
void WriteCondition(const ExplainedCondition& condition, const std::wstring& indent,
                    ReportStream& stream) {
    stream << indent << Widened(condition.verdict) << L": " << Widened(condition.tagName);
    if (condition.negated) {
        stream << L" MATCH_LOGIC_NOT";
    }
    stream << L" wanted " << ValueText(condition.wanted) << L", actual "
           << ValueText(condition.actual);
    if (!condition.path.empty()) {
        stream << L", path " << condition.path;
        if (condition.wow64View) {
            stream << L" (32-bit view)";
        }
    }
    stream << L" [" << RuleText(condition.rule);
    if (!condition.assumes.empty()) {
        stream << L"; assumes " << Joined(condition.assumes);
    }
    stream << L"]" << crlf;
    for (const ExplainedCondition& child : condition.children) {
        WriteCondition(child, indent + L"  ", stream);
    }
}

// The engine's decision, the evaluator's verdict, and a plain line where they differ.
void WriteEvaluation(const ExplainedEvaluation& evaluation, ReportStream& stream) {
    stream << L"  engine: matched" << crlf;
    if (!evaluation.evaluated) {
        stream << L"  evaluator: not run: " << evaluation.problem << crlf;
        return;
    }
    stream << L"  evaluator: " << Widened(evaluation.verdict);
    if (!evaluation.assumes.empty()) {
        stream << L", assumes: " << Joined(evaluation.assumes);
    }
    stream << crlf;
    if (!evaluation.nameFits) {
        stream << L"  disagrees: the engine matched this entry, but its name does not fit the "
                  L"file name "
               << evaluation.fileName << crlf;
    }
    if (!evaluation.countsAsMatch) {
        stream << L"  disagrees: the engine matched this entry, the evaluator says "
               << Widened(evaluation.verdict) << L" (decided by ";
        for (std::size_t i = 0; i < evaluation.decidedBy.size(); ++i) {
            const ExplainedRule& rule = evaluation.decidedBy[i];
            stream << (i == 0 ? L"" : L", ") << Widened(rule.evidence) << L" rule "
                   << Widened(rule.name);
        }
        stream << L")" << crlf;
    }
    if (evaluation.hasMatchMode) {
        stream << L"  MATCH_MODE: " << evaluation.matchMode << L" (effect "
               << Widened(evaluation.matchModeEvidence) << L")" << crlf;
    }
    for (const ExplainedCondition& condition : evaluation.conditions) {
        WriteCondition(condition, L"  ", stream);
    }
}

const wchar_t* FixKind(TAG tag) {
    return tag == sdb::TAG_SHIM_REF ? L"SHIM" : tag == sdb::TAG_PATCH_REF ? L"PATCH" : L"FLAG";
}

void WriteFix(const wchar_t* indent, const ExplainedFix& fix, ReportStream& stream) {
    stream << indent << FixKind(fix.tag) << L": " << Shown(fix.name);
    if (!fix.defined) {
        stream << L", not defined in the library";
    } else if (fix.tag != sdb::TAG_FLAG_REF) {
        stream << L", DLL: " << Optional(fix.dll);
    }
    stream << L", command line: " << Optional(fix.commandLine) << crlf;
}

void WriteExe(const ExplainedExe& exe, ReportStream& stream) {
    WriteEntryHeader(L"EXE: ", exe.entry, stream);
    stream << crlf;
    if (!exe.entry.resolved) {
        return;
    }
    stream << L"  database: " << Shown(exe.databaseId) << L" " << Shown(exe.databasePath) << crlf;
    stream << L"  NAME: " << Shown(exe.name);
    if (exe.wildcard) {
        stream << L" (wildcard, matched " << exe.matchedName << L")";
    }
    stream << crlf << L"  APP_NAME: " << Optional(exe.appName) << crlf << L"  VENDOR: "
           << Optional(exe.vendor) << crlf;
    WriteEvaluation(exe.evaluation, stream);
    for (const EngineText& layer : exe.layers) {
        stream << L"  LAYER: " << Shown(layer) << crlf;
    }
    for (const ExplainedFix& fix : exe.fixes) {
        WriteFix(L"  ", fix, stream);
    }
    if (exe.hasFlags) {
        stream << L"  flags: ";
        PrintResultFlags(stream, exe.flags) << crlf;
    }
}

void WriteLayer(const ExplainedLayer& layer, ReportStream& stream) {
    WriteEntryHeader(L"LAYER: ", layer.entry, stream);
    if (layer.origin.matched) {
        stream << L", matched";
    }
    if (layer.origin.storedUser) {
        stream << L", stored per user";
    }
    if (layer.origin.storedMachine) {
        stream << L", stored per machine";
    }
    if (!layer.origin.matched) {
        stream << L": not among the matched layers";
    }
    stream << crlf;
    for (const ExplainedFix& fix : layer.fixes) {
        WriteFix(L"  ", fix, stream);
    }
}

} // namespace

void WriteExplanation(const Explanation& explanation, ReportStream& stream) {
    stream << L"Explanation:" << crlf;
    for (const std::wstring& problem : explanation.problems) {
        stream << problem << crlf;
    }
    if (explanation.problems.empty() && explanation.exes.empty() && explanation.layers.empty()) {
        stream << L"No matched entry" << crlf;
    }
    for (const ExplainedExe& exe : explanation.exes) {
        WriteExe(exe, stream);
    }
    for (const ExplainedLayer& layer : explanation.layers) {
        WriteLayer(layer, stream);
    }
}
