// The JSON fields of an explanation's typed records.
#include "explain_fields.h"

#include "../sdb/sdb_tags.h"
#include "report_fields.h"

using nlohmann::json;

namespace {

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
        conditions.push_back({{"tag", condition.tag},
                              {"tagName", Utf8(condition.tagName.text)},
                              {"wanted", TextField(condition.wanted)},
                              {"actual", TextField(condition.actual)},
                              {"verdict", VerdictName(condition.verdict)}});
    }
    return json{{"name", TextField(file.name)},
                {"path", file.name.known ? json(Utf8(file.path)) : json()},
                {"state", StateName(file)},
                {"negated", file.negated},
                {"conditions", conditions}};
}

const char* FixKind(TAG tag) {
    return tag == sdb::TAG_SHIM_REF ? "shim" : tag == sdb::TAG_PATCH_REF ? "patch" : "flag";
}

json FixFields(const std::vector<ExplainedFix>& fixes) {
    json fields = json::array();
    for (const ExplainedFix& fix : fixes) {
        fields.push_back({{"kind", FixKind(fix.tag)},
                          {"name", TextField(fix.name)},
                          {"defined", fix.defined},
                          {"dll", TextField(fix.dll)},
                          {"commandLine", TextField(fix.commandLine)}});
    }
    return fields;
}

json ExeFields(const ExplainedExe& exe) {
    json fields = {{"tagRef", TagRefField(exe.entry)}, {"resolved", exe.entry.resolved}};
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
    fields["matchingFiles"] = files;
    fields["layers"] = layers;
    fields["fixes"] = FixFields(exe.fixes);
    fields["flags"] = exe.hasFlags ? FlagFields(exe.flags) : json();
    return fields;
}

json LayerFields(const ExplainedLayer& layer) {
    const EntryName& name = layer.entry.name;
    return json{{"tagRef", TagRefField(layer.entry)},
                {"resolved", layer.entry.resolved},
                {"name", name.named ? json(Utf8(name.name)) : json()},
                {"matched", layer.origin.matched},
                {"storedUser", layer.origin.storedUser},
                {"storedMachine", layer.origin.storedMachine},
                {"fixes", FixFields(layer.fixes)}};
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
    return json{{"problems", problems}, {"exe", exes}, {"layers", layers}};
}
