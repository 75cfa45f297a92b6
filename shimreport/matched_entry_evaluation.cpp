// Reads a matched entry's database file with the portable reader and hands the entry to the
// evaluator; the only place the report reaches the evaluator's types.
#include "matched_entry_evaluation.h"

#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "../common/handle_holder.h"
#include "../common/wow64.h"
#include "entry_evaluator.h"
#include "sdb_index.h"
#include "win32_match_world.h"

namespace {

// No real database comes near this; a larger file is not read whole into memory.
const LONGLONG MostDatabaseBytes = 256LL * 1024 * 1024;

std::u16string Utf16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::wstring Widened(const char* text) {
    const std::string narrow(text);
    return std::wstring(narrow.begin(), narrow.end());
}

// A database file read whole, or why it could not be.
struct DatabaseFile {
    sdb::DatabasePtr db;
    std::wstring problem;
};

DatabaseFile ReadDatabase(const std::wstring& path) {
    DatabaseFile file;
    FileHandleHolder handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    LARGE_INTEGER size;
    if (!handle.Held() || !GetFileSizeEx(handle.Handle(), &size)) {
        file.problem =
            L"cannot open " + path + L" (error " + std::to_wstring(GetLastError()) + L")";
        return file;
    }
    if (size.QuadPart > MostDatabaseBytes) {
        file.problem = path + L" is larger than the explanation reads";
        return file;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() &&
        (!ReadFile(handle.Handle(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, NULL) ||
         got != bytes.size())) {
        file.problem = L"cannot read " + path;
        return file;
    }
    sdb::OpenError error = sdb::OpenError::None;
    file.db = sdb::open_database_bytes(std::move(bytes), &error);
    if (!file.db) {
        file.problem = path + L": " + Widened(sdb::open_error_text(error));
    }
    return file;
}

ExplainedValue ValueOf(const MatchValue& value) {
    ExplainedValue explained;
    explained.number = value.number;
    explained.text = Wide(value.text);
    switch (value.kind) {
    case ValueKind::Number:
        explained.kind = ExplainedValueKind::Number;
        break;
    case ValueKind::Number64:
        explained.kind = ExplainedValueKind::Number64;
        break;
    case ValueKind::Version:
        explained.kind = ExplainedValueKind::Version;
        explained.text = Widened(VersionText(value.number).c_str());
        break;
    case ValueKind::String:
        explained.kind = ExplainedValueKind::String;
        break;
    default:
        explained.kind = ExplainedValueKind::Absent;
        break;
    }
    return explained;
}

ExplainedRule RuleOf(Rule rule) {
    ExplainedRule explained = {RuleName(rule), EvidenceName(RuleEvidence(rule))};
    return explained;
}

std::vector<std::string> RuleNames(const std::vector<Rule>& rules) {
    std::vector<std::string> names;
    for (Rule rule : rules) {
        names.push_back(RuleName(rule));
    }
    return names;
}

std::string TagNameOf(sdb::TAG tag) {
    if (const char* name = sdb::tag_name(tag)) {
        return name;
    }
    char number[8];
    std::snprintf(number, sizeof number, "0x%04X", static_cast<unsigned>(tag));
    return number;
}

ExplainedCondition ConditionOf(const ConditionResult& result) {
    ExplainedCondition condition;
    condition.tag = result.tag;
    condition.tagName = TagNameOf(result.tag);
    condition.verdict = VerdictName(result.verdict);
    condition.rule = RuleOf(result.rule);
    condition.assumes = RuleNames(result.assumes);
    condition.wanted = ValueOf(result.wanted);
    condition.actual = ValueOf(result.actual);
    condition.negated = result.negated;
    condition.path = Wide(result.path);
    condition.wow64View = result.wow64View;
    for (const ConditionResult& child : result.children) {
        condition.children.push_back(ConditionOf(child));
    }
    return condition;
}

void AddRule(std::vector<ExplainedRule>& rules, Rule rule) {
    const ExplainedRule explained = RuleOf(rule);
    for (const ExplainedRule& known : rules) {
        if (known.name == explained.name) {
            return;
        }
    }
    rules.push_back(explained);
}

// The rules of the parts that gave a list its verdict: a leaf's, or a negated list's own,
// with what they rest on; a plain list's from its parts of the same verdict.
void DecidingRules(const ConditionResult& result, std::vector<ExplainedRule>& rules) {
    if (result.children.empty() || (result.negated && result.verdict != Verdict::Unknown)) {
        AddRule(rules, result.rule);
        for (Rule rule : result.assumes) {
            AddRule(rules, rule);
        }
        return;
    }
    for (const ConditionResult& child : result.children) {
        if (child.verdict == result.verdict) {
            DecidingRules(child, rules);
        }
    }
}

// How the engine's entry came to be a candidate for the file, as the evaluator's lookup
// would have found it: false when neither its pattern, its name nor its 16-bit module name
// fits the file.
bool SourceOf(const sdb::Database& db, sdb::TAGID exe, const ProgramFacts& program,
              sdb::ExeSource& source) {
    const std::u16string fileName = FileNameOfPath(program.path);
    if (const char16_t* pattern = sdb::exe_wildcard_pattern(db, exe)) {
        source = sdb::ExeSource::wildcard_name;
        return sdb::wildcard_match(pattern, fileName.c_str());
    }
    source = sdb::ExeSource::name;
    const char16_t* name = sdb::get_child_string_ptr(db, exe, sdb::TAG_NAME);
    if (name != nullptr && sdb::equal_nocase(FileNameOfPath(name).c_str(), fileName.c_str())) {
        return true;
    }
    const char16_t* module = sdb::get_child_string_ptr(db, exe, sdb::TAG_16BIT_MODULE_NAME);
    if (module != nullptr && !program.moduleName16.empty() &&
        sdb::equal_nocase(module, program.moduleName16.c_str())) {
        source = sdb::ExeSource::module_name;
        return true;
    }
    return false;
}

} // namespace

struct MatchedEntryEvaluation::State {
    std::wstring path;
    bool factsRead = false;
    ProgramFacts program;
    SystemFacts system;
    std::unique_ptr<Win32MatchWorld> world;
    std::map<std::wstring, DatabaseFile> databases;

    void ReadFacts() {
        if (factsRead) {
            return;
        }
        factsRead = true;
        program.path = Utf16(path);
        ReadProgramHeader(path, program);
        system = RunningSystemFacts();
        // A 32-bit program of a 64-bit Windows sees the 32-bit registry.
        const bool view32 = program.machine == MachineI386 && system.is64Bit;
        world.reset(new Win32MatchWorld(view32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY));
        const FileAttributes* attributes = nullptr;
        if (world->Attributes(program.path, &attributes) == FileState::Present) {
            program.attributes = attributes;
        }
    }

    const DatabaseFile& Database(const std::wstring& file) {
        std::map<std::wstring, DatabaseFile>::iterator found = databases.find(file);
        if (found == databases.end()) {
            found = databases.insert(std::make_pair(file, ReadDatabase(file))).first;
        }
        return found->second;
    }
};

MatchedEntryEvaluation::MatchedEntryEvaluation(const std::wstring& program) : state_(new State) {
    state_->path = program;
}

MatchedEntryEvaluation::~MatchedEntryEvaluation() {}

ExplainedEvaluation MatchedEntryEvaluation::Evaluate(const EngineText& databasePath, TAGID tagId,
                                                     const EngineText& engineName) {
    ExplainedEvaluation evaluation;
    evaluation.evaluated = false;
    evaluation.countsAsMatch = false;
    evaluation.nameFits = false;
    evaluation.hasMatchMode = false;
    evaluation.matchMode = 0;
    if (!databasePath.known) {
        evaluation.problem = L"the database file is not known";
        return evaluation;
    }
    const DatabaseFile& file = state_->Database(databasePath.text);
    if (!file.db) {
        evaluation.problem = file.problem;
        return evaluation;
    }
    const sdb::Database& db = *file.db;
    const sdb::TAGID exe = tagId;
    const char16_t* name = sdb::get_tag(db, exe) == sdb::TAG_EXE
                               ? sdb::get_child_string_ptr(db, exe, sdb::TAG_NAME)
                               : nullptr;
    if (name == nullptr || !engineName.known || Wide(name) != engineName.text) {
        wchar_t at[16];
        std::swprintf(at, 16, L"0x%X", static_cast<unsigned>(tagId));
        evaluation.problem =
            L"the database file does not agree with the engine: " + std::wstring(at) +
            (name == nullptr ? L" is no named EXE entry there" : L" is an EXE named " + Wide(name));
        return evaluation;
    }
    state_->ReadFacts();
    sdb::ExeSource source = sdb::ExeSource::name;
    evaluation.nameFits = SourceOf(db, exe, state_->program, source);
    evaluation.fileName = Wide(FileNameOfPath(state_->program.path));
    const EntryResult result =
        EvaluateEntry(db, exe, source, state_->program, state_->system, *state_->world);
    evaluation.evaluated = true;
    evaluation.verdict = EntryVerdictName(result.verdict);
    evaluation.countsAsMatch = CountsAsMatch(result.verdict);
    evaluation.assumes = RuleNames(result.assumes);
    evaluation.hasMatchMode = result.hasMatchMode;
    evaluation.matchMode = result.matchMode;
    evaluation.matchModeEvidence = EvidenceName(RuleEvidence(Rule::MatchMode));
    for (const ConditionResult& condition : result.conditions) {
        evaluation.conditions.push_back(ConditionOf(condition));
        if (!evaluation.countsAsMatch &&
            (condition.verdict == Verdict::Fails ||
             (result.verdict == EntryVerdict::Unknown && condition.verdict == Verdict::Unknown))) {
            DecidingRules(condition, evaluation.decidedBy);
        }
    }
    return evaluation;
}
