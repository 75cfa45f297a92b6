// Names and evidence of the rules, and the value constructors.
#include "match_values.h"

namespace {

struct RuleFacts {
    const char* name;
    Evidence evidence;
};

RuleFacts FactsOf(Rule rule) {
    switch (rule) {
    case Rule::ExactValue:
        return {"exact", Evidence::CheckedOnWindows};
    case Rule::StringWithoutCase:
        return {"string-without-case", Evidence::CheckedOnWindows};
    case Rule::UpToAtMost:
        return {"upto-at-most", Evidence::CheckedOnWindows};
    case Rule::FromAtLeast:
        return {"from-at-least", Evidence::Unconfirmed};
    case Rule::VersionAnyWord:
        return {"version-ffff-any", Evidence::Unconfirmed};
    case Rule::StringWildcard:
        return {"string-wildcard", Evidence::Unconfirmed};
    case Rule::VersionPlus:
        return {"version-plus", Evidence::Unconfirmed};
    case Rule::NoSuchAttribute:
        return {"no-such-attribute", Evidence::Unconfirmed};
    case Rule::NotComputed:
        return {"not-computed", Evidence::Unconfirmed};
    case Rule::FileMissing:
        return {"missing-file-fails", Evidence::CheckedOnWindows};
    case Rule::FileUnreadable:
        return {"file-unreadable", Evidence::Unconfirmed};
    case Rule::ProgramItself:
        return {"program-itself", Evidence::SeenInRealDatabases};
    case Rule::BesideProgram:
        return {"beside-program", Evidence::CheckedOnWindows};
    case Rule::RelativeToProgram:
        return {"relative-to-program", Evidence::ReportedByReimplementation};
    case Rule::EnvironmentPath:
        return {"environment-path", Evidence::Unconfirmed};
    case Rule::AbsolutePath:
        return {"absolute-path", Evidence::Unconfirmed};
    case Rule::FolderView:
        return {"wow64-folder-view", Evidence::Unconfirmed};
    case Rule::LogicNot:
        return {"logic-not", Evidence::SeenInRealDatabases};
    case Rule::NotMissingFile:
        return {"not-missing-file", Evidence::Unconfirmed};
    case Rule::PickOneOr:
        return {"pick-one-or", Evidence::Unconfirmed};
    case Rule::RuntimePlatform:
        return {"runtime-platform", Evidence::Unconfirmed};
    case Rule::DestinationOs:
        return {"dest-os", Evidence::Unconfirmed};
    case Rule::OsFilter:
        return {"os-filter", Evidence::Unconfirmed};
    case Rule::MatchingRegistry:
        return {"matching-reg", Evidence::Unconfirmed};
    case Rule::MatchingText:
        return {"matching-text", Evidence::Unconfirmed};
    case Rule::MatchingDirectory:
        return {"matching-dir", Evidence::Unconfirmed};
    case Rule::MatchingWildcardFile:
        return {"matching-wildcard-file", Evidence::Unconfirmed};
    case Rule::RunTimeOnly:
        return {"run-time-only", Evidence::Unconfirmed};
    case Rule::ModuleName16:
        return {"16bit-module-name", Evidence::Unconfirmed};
    case Rule::NameWithFolder:
        return {"name-with-folder", Evidence::Unconfirmed};
    case Rule::EntryName:
        return {"name-without-case", Evidence::CheckedOnWindows};
    case Rule::WildcardName:
        return {"wildcard-name", Evidence::Unconfirmed};
    case Rule::AnyName:
        return {"any-name", Evidence::SeenInRealDatabases};
    case Rule::MatchMode:
        return {"match-mode", Evidence::Unconfirmed};
    }
    return {"unknown-rule", Evidence::Unconfirmed};
}

} // namespace

const char* RuleName(Rule rule) {
    return FactsOf(rule).name;
}

Evidence RuleEvidence(Rule rule) {
    return FactsOf(rule).evidence;
}

bool RuleIsFirm(Rule rule) {
    Evidence evidence = RuleEvidence(rule);
    return evidence == Evidence::CheckedOnWindows || evidence == Evidence::SeenInRealDatabases;
}

const char* EvidenceName(Evidence evidence) {
    switch (evidence) {
    case Evidence::CheckedOnWindows:
        return "checked-on-windows";
    case Evidence::SeenInRealDatabases:
        return "seen-in-real-databases";
    case Evidence::ReportedByReimplementation:
        return "reported-by-reimplementation";
    case Evidence::Unconfirmed:
        break;
    }
    return "unconfirmed";
}

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Holds:
        return "holds";
    case Verdict::Fails:
        return "fails";
    case Verdict::Unknown:
        break;
    }
    return "unknown";
}

const char* EntryVerdictName(EntryVerdict verdict) {
    switch (verdict) {
    case EntryVerdict::Matched:
        return "matched";
    case EntryVerdict::MatchedIf:
        return "matched-if";
    case EntryVerdict::Unknown:
        return "unknown";
    case EntryVerdict::NotMatched:
        break;
    }
    return "not-matched";
}

MatchValue NumberValue(std::uint64_t number, bool wide) {
    MatchValue value;
    value.kind = wide ? ValueKind::Number64 : ValueKind::Number;
    value.number = number;
    return value;
}

MatchValue VersionValue(std::uint64_t raw) {
    MatchValue value;
    value.kind = ValueKind::Version;
    value.number = raw;
    return value;
}

MatchValue StringValue(std::u16string text) {
    MatchValue value;
    value.kind = ValueKind::String;
    value.text = std::move(text);
    return value;
}

std::string VersionText(std::uint64_t raw) {
    std::string text;
    for (int shift = 48; shift >= 0; shift -= 16) {
        unsigned word = static_cast<unsigned>((raw >> shift) & 0xFFFF);
        if (!text.empty())
            text += '.';
        text += word == 0xFFFF ? std::string("*") : std::to_string(word);
    }
    return text;
}
