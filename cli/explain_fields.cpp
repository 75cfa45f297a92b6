// The JSON fields of an explanation's typed records.
#include "explain_fields.h"

#include <cstdio>
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

std::string Hex(unsigned long long number) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llX", number);
    return text;
}

// Numbers up to 32 bits as numbers; 64-bit ones as hex text, which a double cannot spoil;
// versions as their dotted text beside the raw value.
json ValueField(const ExplainedValue& value) {
    switch (value.kind) {
    case ExplainedValueKind::Number:
        return json(value.number);
    case ExplainedValueKind::Number64:
        return json(Hex(value.number));
    case ExplainedValueKind::Version: {
        json fields = json::object();
        fields["text"] = Utf8(value.text);
        fields["raw"] = Hex(value.number);
        return fields;
    }
    case ExplainedValueKind::String:
        return json(Utf8(value.text));
    default:
        return json();
    }
}

json NameArray(const std::vector<std::string>& names) {
    json array = json::array();
    for (const std::string& name : names) {
        array.push_back(name);
    }
    return array;
}

json ConditionFields(const ExplainedCondition& condition) {
    json children = json::array();
    for (const ExplainedCondition& child : condition.children) {
        children.push_back(ConditionFields(child));
    }
    json fields = json::object();
    fields["tag"] = condition.tag;
    fields["tagName"] = condition.tagName;
    fields["verdict"] = condition.verdict;
    fields["rule"] = condition.rule.name;
    fields["evidence"] = condition.rule.evidence;
    fields["assumes"] = NameArray(condition.assumes);
    fields["negated"] = condition.negated;
    fields["wanted"] = ValueField(condition.wanted);
    fields["actual"] = ValueField(condition.actual);
    fields["path"] = condition.path.empty() ? json() : json(Utf8(condition.path));
    fields["wow64View"] = condition.wow64View;
    fields["children"] = std::move(children);
    return fields;
}

// The engine's decision beside the evaluator's verdict on the entry.
void AddEvaluationFields(const ExplainedEvaluation& evaluation, json& fields) {
    fields["engine"] = "matched";
    fields["evaluatorProblem"] = evaluation.evaluated ? json() : json(Utf8(evaluation.problem));
    fields["verdict"] = evaluation.evaluated ? json(evaluation.verdict) : json();
    fields["assumes"] = NameArray(evaluation.assumes);
    fields["nameFits"] = evaluation.evaluated ? json(evaluation.nameFits) : json();
    if (evaluation.evaluated && evaluation.hasMatchMode) {
        fields["matchMode"] = {{"value", evaluation.matchMode},
                               {"evidence", evaluation.matchModeEvidence}};
    }
    fields["disagrees"] = evaluation.Disagrees();
    json decidedBy = json::array();
    for (const ExplainedRule& rule : evaluation.decidedBy) {
        json ruleFields = json::object();
        ruleFields["rule"] = rule.name;
        ruleFields["evidence"] = rule.evidence;
        decidedBy.push_back(std::move(ruleFields));
    }
    fields["decidedBy"] = std::move(decidedBy);
    json conditions = json::array();
    for (const ExplainedCondition& condition : evaluation.conditions) {
        conditions.push_back(ConditionFields(condition));
    }
    fields["conditions"] = std::move(conditions);
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
    AddEvaluationFields(exe.evaluation, fields);
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
