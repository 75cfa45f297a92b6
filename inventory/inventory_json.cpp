// The JSON Lines of an inventory, written from its records.
#include "inventory_output.h"

#include "json_line.h"
#include "record_fields.h"

namespace inventory {

namespace {

void registration_json(const Registration& registration, JsonWriter& json) {
    json.open_object()
        .string("type", "registration")
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

void finding_json(const sdb::AuditFinding& finding, JsonWriter& json) {
    json.open_object()
        .string("rule", finding.rule)
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

void database_json(const Inventory& inventory, const DatabaseRecord& database, JsonWriter& json) {
    json.open_object().string("type", "database");
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
    json.close_array().boolean("readable", database.readable);
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
        .open_array("findings");
    for (const sdb::AuditFinding& finding : database.findings) {
        finding_json(finding, json);
    }
    json.close_array().close_object();
}

void layer_json(const StoredLayer& layer, JsonWriter& json) {
    json.open_object()
        .string("type", "layer")
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

void assistant_json(const AssistantRecord& record, JsonWriter& json) {
    json.open_object()
        .string("type", "assistant")
        .string("user", record.user)
        .string("list", record.list)
        .string("program", record.program)
        .number("valueType", record.type)
        .close_object();
}

} // namespace

std::string inventory_json(const Inventory& inventory, const char* line_end) {
    std::string out;
    out.reserve(1024 * (inventory.registrations.size() + inventory.databases.size() +
                        inventory.layers.size() + inventory.assistant.size()));
    JsonWriter json(&out);
    for (const Registration& registration : inventory.registrations) {
        registration_json(registration, json);
        json.end_line(line_end);
    }
    for (const DatabaseRecord& database : inventory.databases) {
        database_json(inventory, database, json);
        json.end_line(line_end);
    }
    for (const StoredLayer& layer : inventory.layers) {
        layer_json(layer, json);
        json.end_line(line_end);
    }
    for (const AssistantRecord& record : inventory.assistant) {
        assistant_json(record, json);
        json.end_line(line_end);
    }
    // What kept the inventory from being whole, so that a reader of the JSON alone knows.
    for (const std::string& warning : inventory.warnings) {
        json.open_object().string("type", "warning").string("text", warning).close_object();
        json.end_line(line_end);
    }
    return out;
}

} // namespace inventory
