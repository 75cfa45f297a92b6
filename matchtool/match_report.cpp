// Writes quillet-match's verdicts as text lines or JSON.
#include "match_report.h"

#include "entry_fixes.h"

#include "sdb_guid.h"
#include "sdb_text.h"

#include <cstdio>

namespace {

std::string Hex(std::uint64_t value, int digits = 0) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string TagText(sdb::TAG tag) {
    const char* name = sdb::tag_name(tag);
    return name != nullptr ? name : Hex(tag, 4);
}

const char* SourceName(sdb::ExeSource source) {
    switch (source) {
    case sdb::ExeSource::wildcard_name:
        return "wildcard-name";
    case sdb::ExeSource::name:
        return "name";
    case sdb::ExeSource::module_name:
        break;
    }
    return "16bit-module-name";
}

bool Shown(const EntryResult& entry, bool explain) {
    return explain || entry.verdict != EntryVerdict::NotMatched;
}

std::string ValueText(const MatchValue& value) {
    switch (value.kind) {
    case ValueKind::Absent:
        return "(none)";
    case ValueKind::Number:
        return std::to_string(value.number);
    case ValueKind::Number64:
        return Hex(value.number, 16);
    case ValueKind::Version:
        return VersionText(value.number) + " (" + Hex(value.number, 16) + ")";
    case ValueKind::String:
        break;
    }
    return "\"" + sdb::to_utf8(value.text) + "\"";
}

std::string RuleList(const std::vector<Rule>& rules) {
    std::string text;
    for (Rule rule : rules)
        text += (text.empty() ? "" : ", ") + std::string(RuleName(rule));
    return text;
}

void WriteCondition(std::ostream& out, const ConditionResult& condition, int depth) {
    out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << TagText(condition.tag)
        << (condition.negated ? " (NOT)" : "") << ": " << VerdictName(condition.verdict) << " by "
        << RuleName(condition.rule) << " (" << EvidenceName(RuleEvidence(condition.rule))
        << "); wanted " << ValueText(condition.wanted) << ", actual "
        << ValueText(condition.actual);
    if (!condition.path.empty())
        out << "; path " << sdb::to_utf8(condition.path)
            << (condition.wow64View ? " (WOW64 view)" : "");
    if (!condition.assumes.empty())
        out << "; assumes " << RuleList(condition.assumes);
    out << '\n';
    for (const ConditionResult& child : condition.children)
        WriteCondition(out, child, depth + 1);
}

nlohmann::json ValueJson(const MatchValue& value) {
    switch (value.kind) {
    case ValueKind::Absent:
        return nullptr;
    case ValueKind::Number:
        return {{"kind", "number"}, {"value", value.number}};
    case ValueKind::Number64:
        return {{"kind", "number64"}, {"value", std::to_string(value.number)}};
    case ValueKind::Version:
        return {{"kind", "version"},
                {"value", VersionText(value.number)},
                {"raw", Hex(value.number, 16)}};
    case ValueKind::String:
        break;
    }
    return {{"kind", "string"}, {"value", sdb::to_utf8(value.text)}};
}

nlohmann::json RulesJson(const std::vector<Rule>& rules) {
    nlohmann::json list = nlohmann::json::array();
    for (Rule rule : rules)
        list.push_back(RuleName(rule));
    return list;
}

nlohmann::json ConditionJson(const ConditionResult& condition) {
    nlohmann::json json = {{"tag", TagText(condition.tag)},
                           {"tagId", condition.item},
                           {"verdict", VerdictName(condition.verdict)},
                           {"rule", RuleName(condition.rule)},
                           {"evidence", EvidenceName(RuleEvidence(condition.rule))},
                           {"wanted", ValueJson(condition.wanted)},
                           {"actual", ValueJson(condition.actual)},
                           {"assumes", RulesJson(condition.assumes)}};
    if (condition.negated)
        json["negated"] = true;
    if (!condition.path.empty()) {
        json["path"] = sdb::to_utf8(condition.path);
        json["wow64View"] = condition.wow64View;
    }
    if (!condition.children.empty()) {
        nlohmann::json children = nlohmann::json::array();
        for (const ConditionResult& child : condition.children)
            children.push_back(ConditionJson(child));
        json["conditions"] = children;
    }
    return json;
}

std::string NameList(const std::vector<std::u16string>& names) {
    std::string text;
    for (const std::u16string& name : names)
        text += (text.empty() ? "" : ", ") + sdb::to_utf8(name);
    return text;
}

nlohmann::json NamesJson(const std::vector<std::u16string>& names) {
    nlohmann::json list = nlohmann::json::array();
    for (const std::u16string& name : names)
        list.push_back(sdb::to_utf8(name));
    return list;
}

std::string DatabaseLabel(const ToolDatabase& database) {
    if (!database.inImage)
        return database.path;
    return database.path + ", " + database.provenance +
           (database.impersonates ? ", impersonates-microsoft" : "");
}

void WriteFixes(std::ostream& out, const sdb::Database& db, const EntryResult& entry) {
    EntryFixes fixes = ReadEntryFixes(db, entry.exe);
    const std::pair<const char*, const std::vector<std::u16string>*> lists[] = {
        {"layers", &fixes.layers},
        {"shims", &fixes.shims},
        {"flags", &fixes.flags},
        {"patches", &fixes.patches}};
    for (const auto& list : lists) {
        if (!list.second->empty())
            out << "  " << list.first << ": " << NameList(*list.second) << '\n';
    }
    const EntryApphelp& apphelp = fixes.apphelp;
    if (apphelp.present) {
        out << "  apphelp: "
            << (apphelp.hasSeverity ? BlockTypeName(apphelp.severity) : "no PROBLEMSEVERITY");
        if (apphelp.hasHelpId)
            out << ", message " << apphelp.helpId;
        if (!apphelp.title.empty())
            out << ": " << sdb::to_utf8(apphelp.title);
        if (!apphelp.details.empty())
            out << ": " << sdb::to_utf8(apphelp.details);
        out << '\n';
    }
}

nlohmann::json FixesJson(const sdb::Database& db, const EntryResult& entry) {
    EntryFixes fixes = ReadEntryFixes(db, entry.exe);
    nlohmann::json json = {{"layers", NamesJson(fixes.layers)},
                           {"shims", NamesJson(fixes.shims)},
                           {"flags", NamesJson(fixes.flags)},
                           {"patches", NamesJson(fixes.patches)},
                           {"apphelp", nullptr}};
    const EntryApphelp& apphelp = fixes.apphelp;
    if (apphelp.present) {
        json["apphelp"] = {
            {"problemSeverity",
             apphelp.hasSeverity ? nlohmann::json(apphelp.severity) : nlohmann::json(nullptr)},
            {"blockType", apphelp.hasSeverity ? nlohmann::json(BlockTypeName(apphelp.severity))
                                              : nlohmann::json(nullptr)},
            {"htmlHelpId",
             apphelp.hasHelpId ? nlohmann::json(apphelp.helpId) : nlohmann::json(nullptr)},
            {"title", sdb::to_utf8(apphelp.title)},
            {"details", sdb::to_utf8(apphelp.details)},
            {"linkUrl", sdb::to_utf8(apphelp.linkUrl)}};
    }
    return json;
}

const char* ScopeName(const inventory::StoredLayer& layer) {
    switch (layer.hive) {
    case inventory::Hive::Machine:
        return "machine";
    case inventory::Hive::Machine32:
        return "machine-32";
    case inventory::Hive::User:
        break;
    }
    return "user";
}

void WriteStoredLayer(std::ostream& out, const inventory::StoredLayer& layer) {
    out << "Stored layers (" << ScopeName(layer) << (layer.user.empty() ? "" : " " + layer.user)
        << "): \"" << layer.value << "\"";
    if (!layer.problem.empty())
        out << " (" << layer.problem << ")";
    out << '\n';
    for (const inventory::LayerExpansion& expansion : layer.layers) {
        out << "  " << expansion.name << ": ";
        if (!expansion.found) {
            out << "defined by no database read\n";
            continue;
        }
        out << "[" << expansion.database << "]";
        for (std::size_t i = 0; i < expansion.shims.size(); ++i)
            out << (i == 0 ? " " : ", ") << expansion.shims[i];
        out << '\n';
    }
}

nlohmann::json StoredLayerJson(const inventory::StoredLayer& layer) {
    nlohmann::json layers = nlohmann::json::array();
    for (const inventory::LayerExpansion& expansion : layer.layers)
        layers.push_back({{"name", expansion.name},
                          {"found", expansion.found},
                          {"database", expansion.found ? nlohmann::json(expansion.database)
                                                       : nlohmann::json(nullptr)},
                          {"main", expansion.main},
                          {"shims", expansion.shims}});
    return {{"scope", ScopeName(layer)},
            {"user", layer.user.empty() ? nlohmann::json(nullptr) : nlohmann::json(layer.user)},
            {"program", layer.program},
            {"value", layer.value},
            {"markers", layer.markers},
            {"layers", layers},
            {"problem",
             layer.problem.empty() ? nlohmann::json(nullptr) : nlohmann::json(layer.problem)}};
}

} // namespace

void WriteTextReport(std::ostream& out, const FileReport& report, bool explain) {
    out << "File: " << report.path;
    if (report.inImage)
        out << " (machine " << Hex(report.machine, 4) << ")"
            << (report.user.empty() ? "" : " for user " + report.user);
    out << (report.read ? "" : " (could not be read)") << '\n';
    for (const DatabaseVerdicts& database : report.databases) {
        for (const EntryResult& entry : database.entries) {
            if (!Shown(entry, explain))
                continue;
            out << "EXE: ("
                << "0x" << std::hex << entry.exe << std::dec << ") " << sdb::to_utf8(entry.name)
                << " [" << DatabaseLabel(*database.database)
                << "]: " << EntryVerdictName(entry.verdict);
            if (!entry.assumes.empty())
                out << (entry.verdict == EntryVerdict::MatchedIf ? "; assumes " : "; decided by ")
                    << RuleList(entry.assumes);
            out << '\n';
            if (entry.verdict != EntryVerdict::NotMatched)
                WriteFixes(out, *database.database->db, entry);
            if (!explain)
                continue;
            if (entry.hasMatchMode)
                out << "  MATCH_MODE: " << entry.matchMode << " (effect "
                    << EvidenceName(RuleEvidence(Rule::MatchMode)) << ")\n";
            for (const ConditionResult& condition : entry.conditions)
                WriteCondition(out, condition, 1);
        }
    }
    for (const inventory::StoredLayer* layer : report.layers)
        WriteStoredLayer(out, *layer);
}

bool ReportShowsAnything(const FileReport& report, bool explain) {
    if (!report.layers.empty())
        return true;
    for (const DatabaseVerdicts& database : report.databases) {
        for (const EntryResult& entry : database.entries) {
            if (Shown(entry, explain))
                return true;
        }
    }
    return false;
}

nlohmann::json JsonReport(const FileReport& report, bool explain) {
    nlohmann::json entries = nlohmann::json::array();
    for (const DatabaseVerdicts& database : report.databases) {
        for (const EntryResult& entry : database.entries) {
            if (!Shown(entry, explain))
                continue;
            nlohmann::json json = {{"database", database.database->path},
                                   {"tagId", entry.exe},
                                   {"exeId", entry.hasExeId
                                                 ? nlohmann::json(sdb::guid_to_text(entry.exeId))
                                                 : nlohmann::json(nullptr)},
                                   {"name", sdb::to_utf8(entry.name)},
                                   {"appName", sdb::to_utf8(entry.appName)},
                                   {"vendor", sdb::to_utf8(entry.vendor)},
                                   {"foundBy", SourceName(entry.source)},
                                   {"verdict", EntryVerdictName(entry.verdict)},
                                   {"assumes", RulesJson(entry.assumes)}};
            if (database.database->inImage) {
                json["provenance"] = database.database->provenance;
                json["impersonatesMicrosoft"] = database.database->impersonates;
            }
            if (entry.verdict != EntryVerdict::NotMatched)
                json["fixes"] = FixesJson(*database.database->db, entry);
            if (entry.hasMatchMode)
                json["matchMode"] = {{"value", entry.matchMode},
                                     {"evidence", EvidenceName(RuleEvidence(Rule::MatchMode))}};
            if (explain) {
                nlohmann::json conditions = nlohmann::json::array();
                for (const ConditionResult& condition : entry.conditions)
                    conditions.push_back(ConditionJson(condition));
                json["conditions"] = conditions;
            }
            entries.push_back(json);
        }
    }
    nlohmann::json json = {
        {"type", "file"}, {"path", report.path}, {"read", report.read}, {"entries", entries}};
    if (report.inImage) {
        json["machine"] = report.machine;
        json["user"] = report.user.empty() ? nlohmann::json(nullptr) : nlohmann::json(report.user);
        nlohmann::json layers = nlohmann::json::array();
        for (const inventory::StoredLayer* layer : report.layers)
            layers.push_back(StoredLayerJson(*layer));
        json["layers"] = layers;
    }
    return json;
}
