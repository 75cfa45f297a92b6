// The JSON Lines of an inventory, written from its records.
#include "inventory_output.h"

#include "json_line.h"
#include "record_fields.h"

namespace inventory {

namespace {

std::string registration_json(const Registration& registration) {
    JsonObject object;
    object.string("type", "registration")
        .string("kind", registration_kind_text(registration.kind))
        .string("view", hive_text(registration.hive))
        .string("key", registration.key)
        .string("guid", registration.guid)
        .boolean("guidValid", registration.guid_valid);
    if (registration.kind == RegistrationKind::Custom) {
        object.string("program", registration.program);
    } else {
        object.null("program");
    }
    object.string("path", registration.path)
        .string("description", registration.description)
        .string("installTime", date_text(registration.install_time));
    if (registration.database_type) {
        object.number("databaseType", *registration.database_type);
    } else {
        object.null("databaseType");
    }
    return object.raw("problems", json_string_array(registration.problems)).text();
}

std::string finding_json(const sdb::AuditFinding& finding) {
    std::vector<std::string> details;
    for (const sdb::AuditField& detail : finding.details) {
        details.push_back(
            JsonObject().string("name", detail.name).string("value", detail.value).text());
    }
    JsonObject entry;
    entry.string("kind", entry_kind_text(finding.entry.kind))
        .string("name", finding.entry.name)
        .string("exe", finding.entry.exe)
        .string("appName", finding.entry.app_name);
    return JsonObject()
        .string("rule", finding.rule)
        .string("severity", sdb::audit_severity_text(finding.severity))
        .string("ruleSeverity", sdb::audit_severity_text(finding.rule_severity))
        .raw("entry", entry.text())
        .string("summary", finding.summary)
        .raw("details", json_array(details))
        .text();
}

std::string database_json(const Inventory& inventory, const DatabaseRecord& database) {
    std::vector<std::string> places;
    for (size_t index : database.registrations) {
        const Registration& registration = inventory.registrations[index];
        places.push_back(JsonObject()
                             .string("kind", registration_kind_text(registration.kind))
                             .string("view", hive_text(registration.hive))
                             .string("key", registration.key)
                             .text());
    }
    std::vector<std::string> anomalies;
    for (Provenance anomaly : database.anomalies) {
        anomalies.push_back(provenance_text(anomaly));
    }
    std::vector<std::string> findings;
    for (const sdb::AuditFinding& finding : database.findings) {
        findings.push_back(finding_json(finding));
    }
    const EntryCounts& counts = database.counts;
    std::string counts_json = JsonObject()
                                  .number("exe", counts.exe)
                                  .number("layer", counts.layer)
                                  .number("shim", counts.shim)
                                  .number("patch", counts.patch)
                                  .number("msi", counts.msi)
                                  .text();
    JsonObject object;
    object.string("type", "database");
    database.guid.empty() ? object.null("guid") : object.string("guid", database.guid);
    database.path.empty() ? object.null("path") : object.string("path", database.path);
    object.boolean("exists", database.file == FileStatus::Ok)
        .string("fileStatus", file_status_text(database.file))
        .boolean("main", database.main)
        .raw("registeredAt", json_array(places))
        .string("provenance", provenance_text(database.provenance))
        .string("reason", database.reason)
        .raw("anomalies", json_string_array(anomalies))
        .boolean("readable", database.readable);
    database.read_problem.empty() ? object.null("readProblem")
                                  : object.string("readProblem", database.read_problem);
    object.string("name", database.name)
        .string("databaseId", database.database_id)
        .string("time", date_text(database.time))
        .string("compilerVersion", database.compiler_version)
        .raw("counts", counts_json)
        .raw("targets", json_string_array(database.targets))
        .number("targetCount", database.target_count)
        .raw("findings", json_array(findings));
    return object.text();
}

std::string layer_json(const StoredLayer& layer) {
    std::vector<std::string> layers;
    for (const LayerExpansion& expansion : layer.layers) {
        JsonObject object;
        object.string("name", expansion.name).boolean("found", expansion.found);
        expansion.found ? object.string("database", expansion.database) : object.null("database");
        layers.push_back(object.raw("shims", json_string_array(expansion.shims)).text());
    }
    JsonObject object;
    object.string("type", "layer")
        .string("scope", layer.hive == Hive::User ? "user" : "machine")
        .string("view", hive_text(layer.hive));
    layer.hive == Hive::User ? object.string("user", layer.user) : object.null("user");
    object.string("program", layer.program)
        .string("value", layer.value)
        .raw("markers", json_string_array(layer.markers))
        .raw("layers", json_array(layers));
    layer.problem.empty() ? object.null("problem") : object.string("problem", layer.problem);
    return object.text();
}

std::string assistant_json(const AssistantRecord& record) {
    return JsonObject()
        .string("type", "assistant")
        .string("user", record.user)
        .string("list", record.list)
        .string("program", record.program)
        .number("valueType", record.type)
        .text();
}

} // namespace

std::vector<std::string> inventory_json_lines(const Inventory& inventory) {
    std::vector<std::string> lines;
    for (const Registration& registration : inventory.registrations) {
        lines.push_back(registration_json(registration));
    }
    for (const DatabaseRecord& database : inventory.databases) {
        lines.push_back(database_json(inventory, database));
    }
    for (const StoredLayer& layer : inventory.layers) {
        lines.push_back(layer_json(layer));
    }
    for (const AssistantRecord& record : inventory.assistant) {
        lines.push_back(assistant_json(record));
    }
    return lines;
}

} // namespace inventory
