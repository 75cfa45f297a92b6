// The text report of an inventory, written from its records.
#include "inventory_output.h"

#include "record_fields.h"

namespace inventory {

namespace {

typedef std::vector<std::string> Lines;

void field(Lines* lines, const char* label, const std::string& value) {
    lines->push_back(std::string("  ") + label + ": " + value);
}

void field(Lines* lines, const char* label, const char* value) {
    field(lines, label, std::string(value));
}

void field(Lines* lines, const char* label, const std::optional<std::string>& value) {
    if (value) {
        field(lines, label, *value);
    }
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        text += (i == 0 ? "" : separator) + parts[i];
    }
    return text;
}

void write_registration(const Registration& registration, Lines* lines) {
    lines->push_back("Registration " + registration_place(registration) + " " + registration.guid);
    field(lines, "Key", registration.key);
    field(lines, "Path", registration.path);
    field(lines, "Description", registration.description);
    field(lines, "Installed", date_text(registration.install_time));
    if (registration.database_type) {
        field(lines, "Type", std::to_string(*registration.database_type));
    }
    for (const std::string& problem : registration.problems) {
        field(lines, "Problem", problem);
    }
}

std::string counts_text(const EntryCounts& counts) {
    return "EXE " + std::to_string(counts.exe) + ", LAYER " + std::to_string(counts.layer) +
           ", SHIM " + std::to_string(counts.shim) + ", PATCH " + std::to_string(counts.patch) +
           ", MSI " + std::to_string(counts.msi);
}

std::string finding_text(const sdb::AuditFinding& finding) {
    std::string entry = entry_kind_text(finding.entry.kind);
    const std::string& name = finding.entry.exe.empty() ? finding.entry.name : finding.entry.exe;
    if (!name.empty()) {
        entry += " " + name;
    }
    return std::string(sdb::audit_severity_text(finding.severity)) + " " + finding.rule + " in " +
           entry + ": " + finding.summary;
}

void write_database(const Inventory& inventory, const DatabaseRecord& database, Lines* lines) {
    lines->push_back("Database " + (database.guid.empty() ? "(no GUID)" : database.guid) + ": " +
                     provenance_text(database.provenance));
    if (database.path.empty()) {
        field(lines, "Path", "(none)");
    } else {
        field(lines, "Path",
              database.path + (database.file == FileStatus::Ok
                                   ? std::string()
                                   : std::string(" (") + file_status_text(database.file) + ")"));
    }
    std::vector<std::string> places;
    for (size_t index : database.registrations) {
        places.push_back(registration_place(inventory.registrations[index]));
    }
    field(lines, "Registered", places.empty() ? std::string("nowhere") : joined(places, ", "));
    field(lines, "Reason", database.reason);
    if (!database.anomalies.empty()) {
        std::vector<std::string> words;
        for (Provenance anomaly : database.anomalies) {
            words.push_back(provenance_text(anomaly));
        }
        field(lines, "Anomalies", joined(words, ", "));
    }
    if (!database.read_problem.empty()) {
        field(lines, "Read", database.read_problem);
    }
    if (!database.readable) {
        return;
    }
    field(lines, "Name", database.name);
    field(lines, "DATABASE_ID", database.database_id);
    field(lines, "Time", date_text(database.time));
    field(lines, "Compiler", database.compiler_version);
    field(lines, "Entries", counts_text(database.counts));
    if (database.target_count != 0) {
        field(lines, "Targets",
              joined(database.targets, ", ") + " (" + std::to_string(database.target_count) +
                  " in all)");
    }
    for (const sdb::AuditFinding& finding : database.findings) {
        field(lines, "Finding", finding_text(finding));
    }
}

void write_layer(const StoredLayer& layer, Lines* lines) {
    std::string owner = layer.hive == Hive::User
                            ? "user " + layer.user
                            : std::string("machine, ") + hive_text(layer.hive) + " view";
    lines->push_back("Layer (" + owner + ") " + layer.program + ": " + layer.value);
    for (const LayerExpansion& expansion : layer.layers) {
        field(lines, expansion.name.c_str(),
              expansion.found ? joined(expansion.shims, ", ") + " (" + expansion.database + ")"
                              : std::string("not defined in the main databases"));
    }
    if (!layer.problem.empty()) {
        field(lines, "Problem", layer.problem);
    }
}

} // namespace

std::vector<std::string> inventory_text_lines(const Inventory& inventory) {
    Lines lines;
    for (const Registration& registration : inventory.registrations) {
        write_registration(registration, &lines);
    }
    for (const DatabaseRecord& database : inventory.databases) {
        write_database(inventory, database, &lines);
    }
    for (const StoredLayer& layer : inventory.layers) {
        write_layer(layer, &lines);
    }
    for (const AssistantRecord& record : inventory.assistant) {
        lines.push_back("Assistant (user " + record.user + ", " + record.list + ") " +
                        record.program);
    }
    // A name that holds a line end or another control character must not make a line of
    // its own.
    for (std::string& line : lines) {
        for (char& c : line) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                c = '?';
            }
        }
    }
    return lines;
}

} // namespace inventory
