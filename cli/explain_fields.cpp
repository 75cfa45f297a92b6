// The JSON fields of an explanation's typed records.
#include "explain_fields.h"

#include <utility>

#include "../sdb/sdb_tags.h"
#include "report_fields.h"

using nlohmann::json;

namespace {

// Objects are filled member by member and arrays moved into them: an initializer list would
// copy every nested array once more at each level.

// A text the engine gave, or null.
json TextField(const EngineText& text) {
    return text.known ? json(Utf8(text.text)) : json();
}

// Why a text is missing, or null when it is there or no reason is known.
json ProblemField(const EngineText& text) {
    return text.known || text.text.empty() ? json() : json(Utf8(text.text));
}

json TagRefField(const MatchEntry& entry) {
    return entry.tagRef != 0 ? json(entry.tagRef) : json();
}

const char* VerdictName(ConditionVerdict verdict) {
    switch (verdict) {
    case ConditionVerdict::Holds:
        return "holds";
    case ConditionVerdict::Fails:
        return "fails";
    case ConditionVerdict::NoAttribute:
        return "noAttribute";
    case ConditionVerdict::UnknownType:
        return "unknownType";
    default:
        return "notEvaluated";
    }
}

const char* StateName(const ExplainedFile& file) {
    if (!file.attributesRead) {
        return "notRead";
    }
    switch (file.state) {
    case FileState::Present:
        return "present";
    case FileState::Missing:
        return "missing";
    default:
        return "unreadable";
    }
}

json FileFields(const ExplainedFile& file) {
    json conditions = json::array();
    for (const ExplainedCondition& condition : file.conditions) {
        json fields = json::object();
        fields["tag"] = condition.tag;
        fields["tagName"] = Utf8(condition.tagName.text);
        fields["wanted"] = TextField(condition.wanted);
        fields["actual"] = TextField(condition.actual);
        fields["verdict"] = VerdictName(condition.verdict);
        conditions.push_back(std::move(fields));
    }
    json fields = json::object();
    fields["name"] = TextField(file.name);
    fields["path"] = file.name.known ? json(Utf8(file.path)) : json();
    fields["state"] = StateName(file);
    fields["negated"] = file.negated;
    fields["conditions"] = std::move(conditions);
    return fields;
}

const char* FixKind(TAG tag) {
    return tag == sdb::TAG_SHIM_REF ? "shim" : tag == sdb::TAG_PATCH_REF ? "patch" : "flag";
}

json FixFields(const std::vector<ExplainedFix>& fixes) {
    json fields = json::array();
    for (const ExplainedFix& fix : fixes) {
        json fixFields = json::object();
        fixFields["kind"] = FixKind(fix.tag);
        fixFields["name"] = TextField(fix.name);
        fixFields["defined"] = fix.defined;
        fixFields["dll"] = TextField(fix.dll);
        fixFields["commandLine"] = TextField(fix.commandLine);
        fields.push_back(std::move(fixFields));
    }
    return fields;
}

json ExeFields(const ExplainedExe& exe) {
    json fields = json::object();
    fields["tagRef"] = TagRefField(exe.entry);
    fields["resolved"] = exe.entry.resolved;
    if (!exe.entry.resolved) {
        return fields;
    }
    json files = json::array();
    for (const ExplainedFile& file : exe.files) {
        files.push_back(FileFields(file));
    }
    json layers = json::array();
    for (const EngineText& layer : exe.layers) {
        layers.push_back(TextField(layer));
    }
    fields["databaseId"] = TextField(exe.databaseId);
    fields["databaseIdProblem"] = ProblemField(exe.databaseId);
    fields["databasePath"] = TextField(exe.databasePath);
    fields["databasePathProblem"] = ProblemField(exe.databasePath);
    fields["name"] = TextField(exe.name);
    fields["appName"] = TextField(exe.appName);
    fields["vendor"] = TextField(exe.vendor);
    fields["wildcardMatched"] = exe.wildcard ? json(Utf8(exe.matchedName)) : json();
    fields["matchingFiles"] = std::move(files);
    fields["layers"] = std::move(layers);
    fields["fixes"] = FixFields(exe.fixes);
    fields["flags"] = exe.hasFlags ? FlagFields(exe.flags) : json();
    return fields;
}

json LayerFields(const ExplainedLayer& layer) {
    const EntryName& name = layer.entry.name;
    json fields = json::object();
    fields["tagRef"] = TagRefField(layer.entry);
    fields["resolved"] = layer.entry.resolved;
    fields["name"] = name.named ? json(Utf8(name.name)) : json();
    fields["matched"] = layer.origin.matched;
    fields["storedUser"] = layer.origin.storedUser;
    fields["storedMachine"] = layer.origin.storedMachine;
    fields["fixes"] = FixFields(layer.fixes);
    return fields;
}

} // namespace

json ExplanationFields(const Explanation& explanation) {
    json problems = json::array();
    for (const std::wstring& problem : explanation.problems) {
        problems.push_back(Utf8(problem));
    }
    json exes = json::array();
    for (const ExplainedExe& exe : explanation.exes) {
        exes.push_back(ExeFields(exe));
    }
    json layers = json::array();
    for (const ExplainedLayer& layer : explanation.layers) {
        layers.push_back(LayerFields(layer));
    }
    json fields = json::object();
    fields["problems"] = std::move(problems);
    fields["exe"] = std::move(exes);
    fields["layers"] = std::move(layers);
    return fields;
}
