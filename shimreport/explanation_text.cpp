// Writes an explanation's typed records as the block's text.
#include "explanation_text.h"

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

void WriteCondition(const ExplainedCondition& condition, ReportStream& stream) {
    stream << L"    " << VerdictText(condition.verdict) << L": ";
    if (condition.verdict == ConditionVerdict::UnknownType && !condition.wanted.known) {
        stream << Shown(condition.tagName) << L", a condition of a type no rule compares" << crlf;
        return;
    }
    stream << (condition.wanted.known ? condition.wanted.text
                                      : Shown(condition.tagName) + L" " + Shown(condition.wanted));
    switch (condition.verdict) {
    case ConditionVerdict::Holds:
    case ConditionVerdict::Fails:
        stream << L"; the file has " << Shown(condition.actual);
        break;
    case ConditionVerdict::NoAttribute:
        stream << L"; the file has no such attribute";
        break;
    case ConditionVerdict::UnknownType:
        stream << L"; the file's attribute is of a type no rule compares";
        break;
    case ConditionVerdict::NotEvaluated:
        break;
    }
    stream << crlf;
}

void WriteFile(const ExplainedFile& file, ReportStream& stream) {
    stream << L"  MATCHING_FILE " << Shown(file.name);
    if (file.negated) {
        stream << L" (MATCH_LOGIC_NOT: holds unless it is there and every condition holds)";
    }
    if (file.name.known) {
        stream << L": " << file.path;
        if (file.attributesRead && file.state == FileState::Missing) {
            stream << L" is not there";
        } else if (file.attributesRead && file.state == FileState::Unreadable) {
            stream << L" cannot be read by the engine";
        }
    }
    stream << crlf;
    for (const ExplainedCondition& condition : file.conditions) {
        WriteCondition(condition, stream);
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
    for (const ExplainedFile& file : exe.files) {
        WriteFile(file, stream);
    }
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

const wchar_t* VerdictText(ConditionVerdict verdict) {
    switch (verdict) {
    case ConditionVerdict::Holds:
        return L"holds";
    case ConditionVerdict::Fails:
        return L"fails";
    default:
        return L"not evaluated";
    }
}

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
