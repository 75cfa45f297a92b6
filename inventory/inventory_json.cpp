// The JSON Lines of an inventory, written from its records.
#include "inventory_output.h"

#include "json_line.h"
#include "record_fields.h"

namespace inventory {

namespace {

// The fields every line has after its type, formatted once for all the lines.
struct LineStart {
    explicit LineStart(const Inventory& inventory)
        : host(inventory.host), collected(date_text(inventory.collected)) {}
    const std::string& host;
    std::optional<std::string> collected;
};

// Opens a line's object with the fields every line has: its type, the host and the time of
// collection.
JsonWriter& open_line(const LineStart& start, const char* type, JsonWriter& json) {
    json.open_object().string("type", type);
    start.host.empty() ? json.null("host") : json.string("host", start.host);
    return json.string("collected", start.collected);
}

const char* const SEVERITY_NAMES[] = {"info", "medium", "high"};

void summary_json(const LineStart& start, const InventorySummary& summary,
                  const OutputOptions& options, size_t oversized, JsonWriter& json) {
    open_line(start, "inventorySummary", json).number("databases", summary.databases);
    json.open_object("provenance");
    for (const auto& [word, count] : provenance_counts(summary)) {
        json.number(word, count);
    }
    json.close_object().open_object("findings");
    for (size_t i = 0; i < 3; ++i) {
        json.number(SEVERITY_NAMES[i], summary.findings[i]);
    }
    json.close_object()
        .string("minSeverity", sdb::audit_severity_text(options.min_severity))
        .number("hiddenFindings", summary.hidden_findings)
        .number("anomalies", summary.anomalies)
        .number("warnings", summary.warnings)
        .boolean("complete", summary.warnings == 0)
        .number("oversizedLines", oversized)
        .close_object();
}

void hive_json(const LineStart& start, const HiveRecord& hive, JsonWriter& json) {
    open_line(start, "hive", json).string("role", hive.role);
    hive.user.empty() ? json.null("user") : json.string("user", hive.user);
    json.string("path", hive.path)
        .string("state", hive_state_text(hive.state))
        .string_array("logs", hive.logs)
        .close_object();
}

void registration_json(const LineStart& start, const Registration& registration, JsonWriter& json) {
    open_line(start, "registration", json)
        .string("kind", registration_kind_text(registration.kind))
        .string("view", hive_text(registration.hive))
        .string("key", registration.key)
        .string("guid", registration.guid)
        .boolean("guidValid", registration.guid_valid);
    if (registration.kind == RegistrationKind::Custom && registration.layer.empty()) {
        json.string("program", registration.program);
    } else {
        json.null("program");
    }
    registration.layer.empty() ? json.null("layer") : json.string("layer", registration.layer);
    json.string("path", registration.path)
        .string("description", registration.description)
        .string("installTime", date_text(registration.install_time));
    if (registration.database_type) {
        json.number("databaseType", *registration.database_type);
    } else {
        json.null("databaseType");
    }
    json.string_array("problems", registration.problems).close_object();
}

// A finding on a line of its own after its database's, named by the database's GUID and
// path: the main databases hold thousands, which in one line would be megabytes.
void finding_json(const LineStart& start, const DatabaseRecord& database,
                  const sdb::AuditFinding& finding, JsonWriter& json) {
    open_line(start, "finding", json);
    database.guid.empty() ? json.null("guid") : json.string("guid", database.guid);
    database.path.empty() ? json.null("path") : json.string("path", database.path);
    json.string("rule", finding.rule)
        .string("severity", sdb::audit_severity_text(finding.severity))
        .string("ruleSeverity", sdb::audit_severity_text(finding.rule_severity))
        .string("basis", sdb::audit_basis_text(finding.basis))
        .string("shape", sdb::content_shape_text(finding.shape))
        .open_object("entry")
        .string("kind", entry_kind_text(finding.entry.kind))
        .string("name", finding.entry.name)
        .string("exe", finding.entry.exe)
        .string("appName", finding.entry.app_name)
        .close_object()
        .string("summary", finding.summary)
        .open_array("details");
    for (const sdb::AuditField& detail : finding.details) {
        json.open_object().string("name", detail.name).string("value", detail.value).close_object();
    }
    json.close_array().close_object();
}

void database_json(const LineStart& start, const Inventory& inventory,
                   const DatabaseRecord& database, JsonWriter& json) {
    open_line(start, "database", json);
    database.guid.empty() ? json.null("guid") : json.string("guid", database.guid);
    database.path.empty() ? json.null("path") : json.string("path", database.path);
    json.boolean("exists", database.file == FileStatus::Ok)
        .string("fileStatus", file_status_text(database.file))
        .boolean("main", database.main)
        .open_array("registeredAt");
    for (size_t index : database.registrations) {
        const Registration& registration = inventory.registrations[index];
        json.open_object()
            .string("kind", registration_kind_text(registration.kind))
            .string("view", hive_text(registration.hive))
            .string("key", registration.key)
            .close_object();
    }
    json.close_array()
        .string("provenance", provenance_text(database.provenance))
        .string("reason", database.reason)
        .open_array("anomalies");
    for (Provenance anomaly : database.anomalies) {
        json.string(nullptr, provenance_text(anomaly));
    }
    json.close_array();
    database.size ? json.number("size", *database.size) : json.null("size");
    database.sha256.empty() ? json.null("sha256") : json.string("sha256", database.sha256);
    json.string("created", date_text(database.times.created))
        .string("modified", date_text(database.times.modified))
        .boolean("readable", database.readable);
    database.read_problem.empty() ? json.null("readProblem")
                                  : json.string("readProblem", database.read_problem);
    const EntryCounts& counts = database.counts;
    json.string("name", database.name)
        .string("databaseId", database.database_id)
        .string("time", date_text(database.time))
        .string("compilerVersion", database.compiler_version)
        .open_object("counts")
        .number("exe", counts.exe)
        .number("layer", counts.layer)
        .number("shim", counts.shim)
        .number("patch", counts.patch)
        .number("msi", counts.msi)
        .close_object()
        .string_array("targets", database.targets)
        .number("targetCount", database.target_count)
        .open_object("findingCounts");
    size_t counts_by_severity[3] = {};
    for (const sdb::AuditFinding& finding : database.findings) {
        ++counts_by_severity[static_cast<size_t>(finding.severity)];
    }
    for (size_t i = 0; i < 3; ++i) {
        json.number(SEVERITY_NAMES[i], counts_by_severity[i]);
    }
    json.close_object().close_object();
}

void layer_json(const LineStart& start, const StoredLayer& layer, JsonWriter& json) {
    open_line(start, "layer", json)
        .string("scope", layer.hive == Hive::User ? "user" : "machine")
        .string("view", hive_text(layer.hive));
    layer.hive == Hive::User ? json.string("user", layer.user) : json.null("user");
    json.string("program", layer.program)
        .string("value", layer.value)
        .string_array("markers", layer.markers)
        .open_array("layers");
    for (const LayerExpansion& expansion : layer.layers) {
        json.open_object().string("name", expansion.name).boolean("found", expansion.found);
        expansion.found ? json.string("database", expansion.database) : json.null("database");
        json.boolean("mainDatabase", expansion.found && expansion.main);
        json.string_array("shims", expansion.shims).close_object();
    }
    json.close_array();
    layer.problem.empty() ? json.null("problem") : json.string("problem", layer.problem);
    json.close_object();
}

void assistant_json(const LineStart& start, const AssistantRecord& record, JsonWriter& json) {
    open_line(start, "assistant", json)
        .string("user", record.user)
        .string("list", record.list)
        .string("program", record.program)
        .number("valueType", record.type)
        .close_object();
}

void warning_json(const LineStart& start, const std::string& warning, JsonWriter& json) {
    open_line(start, "warning", json).string("text", warning).close_object();
}

// Ends the line begun at start; one too long for a reader's line buffer is replaced by an
// object that names it, so that what follows is still read.
void end_line(const LineStart& start, const char* type, size_t line_at, const char* line_end,
              std::string& out, JsonWriter& json, size_t* oversized) {
    json.end_line(line_end);
    size_t length = out.size() - line_at;
    if (length <= MAX_JSON_LINE) {
        return;
    }
    out.resize(line_at);
    open_line(start, "oversized", json)
        .string("of", type)
        .number("bytes", length)
        .close_object()
        .end_line(line_end);
    ++*oversized;
}

} // namespace

std::string inventory_json(const Inventory& inventory, const char* line_end,
                           const OutputOptions& options) {
    std::string out;
    out.reserve(1024 * (inventory.registrations.size() + inventory.databases.size() +
                        inventory.layers.size() + inventory.assistant.size()));
    JsonWriter json(&out);
    const LineStart start(inventory);
    size_t oversized = 0;
    auto line = [&](const char* type, auto write) {
        size_t line_at = out.size();
        write();
        end_line(start, type, line_at, line_end, out, json, &oversized);
    };
    for (const HiveRecord& hive : inventory.hives) {
        line("hive", [&] { hive_json(start, hive, json); });
    }
    for (const Registration& registration : inventory.registrations) {
        line("registration", [&] { registration_json(start, registration, json); });
    }
    for (const DatabaseRecord& database : inventory.databases) {
        line("database", [&] { database_json(start, inventory, database, json); });
        for (const sdb::AuditFinding& finding : database.findings) {
            if (finding.severity >= options.min_severity) {
                line("finding", [&] { finding_json(start, database, finding, json); });
            }
        }
    }
    for (const StoredLayer& layer : inventory.layers) {
        line("layer", [&] { layer_json(start, layer, json); });
    }
    for (const AssistantRecord& record : inventory.assistant) {
        line("assistant", [&] { assistant_json(start, record, json); });
    }
    // What kept the inventory from being whole, so that a reader of the JSON alone knows.
    for (const std::string& warning : inventory.warnings) {
        line("warning", [&] { warning_json(start, warning, json); });
    }
    // The summary opens the report but counts what the lines after it came to.
    std::string summary;
    summary.reserve(512 + out.size());
    JsonWriter summary_writer(&summary);
    summary_json(start, summarize(inventory, options), options, oversized, summary_writer);
    summary_writer.end_line(line_end);
    summary += out;
    return summary;
}

} // namespace inventory
