// The text report of an inventory, written from its records.
#include "inventory_output.h"

#include "record_fields.h"

namespace inventory {

namespace {

// The report's lines in one buffer. A name that holds a line end or another control
// character must not make a line of its own, so each line's text is made safe as it ends.
class Lines {
public:
    explicit Lines(const char* line_end) : line_end_(line_end) {}
    Lines& operator<<(std::string_view piece) {
        text_.append(piece);
        return *this;
    }
    Lines& operator<<(const std::string& piece) { return *this << std::string_view(piece); }
    Lines& operator<<(const char* piece) { return *this << std::string_view(piece); }
    Lines& operator<<(uint64_t number) { return *this << std::to_string(number); }
    void end_line() {
        for (size_t i = line_start_; i < text_.size(); ++i) {
            if (static_cast<unsigned char>(text_[i]) < 0x20 || text_[i] == 0x7F) {
                text_[i] = '?';
            }
        }
        text_.append(line_end_);
        line_start_ = text_.size();
    }
    void field(const char* label, const std::string& value) {
        *this << "  " << label << ": " << value;
        end_line();
    }
    void field(const char* label, const std::optional<std::string>& value) {
        if (value) {
            field(label, *value);
        }
    }
    std::string& text() { return text_; }

private:
    const char* line_end_;
    std::string text_;
    size_t line_start_ = 0;
};

// "InstalledSDB (native view)", "Custom (32-bit view) for app.exe".
void write_place(const Registration& registration, Lines& lines) {
    lines << registration_kind_text(registration.kind) << " (" << hive_text(registration.hive)
          << " view)";
    if (registration.kind == RegistrationKind::Custom) {
        lines << " for " << (registration.layer.empty() ? "" : "layer ")
              << (registration.layer.empty() ? registration.program : registration.layer);
    }
}

void joined(const std::vector<std::string>& parts, const char* separator, Lines& lines) {
    for (size_t i = 0; i < parts.size(); ++i) {
        lines << (i == 0 ? "" : separator) << parts[i];
    }
}

void write_registration(const Registration& registration, Lines& lines) {
    lines << "Registration ";
    write_place(registration, lines);
    lines << " " << registration.guid;
    lines.end_line();
    lines.field("Key", registration.key);
    lines.field("Path", registration.path);
    lines.field("Description", registration.description);
    lines.field("Installed", date_text(registration.install_time));
    if (registration.database_type) {
        lines.field("Type", std::to_string(*registration.database_type));
    }
    for (const std::string& problem : registration.problems) {
        lines.field("Problem", problem);
    }
}

void write_counts(const EntryCounts& counts, Lines& lines) {
    lines << "  Entries: EXE " << counts.exe << ", LAYER " << counts.layer << ", SHIM "
          << counts.shim << ", PATCH " << counts.patch << ", MSI " << counts.msi;
    lines.end_line();
}

void write_finding(const sdb::AuditFinding& finding, Lines& lines) {
    lines << "  Finding: " << sdb::audit_severity_text(finding.severity) << " " << finding.rule
          << " in " << entry_kind_text(finding.entry.kind);
    const std::string& name = finding.entry.exe.empty() ? finding.entry.name : finding.entry.exe;
    if (!name.empty()) {
        lines << " " << name;
    }
    lines << ": " << finding.summary;
    if (finding.basis != sdb::AuditBasis::Rule) {
        lines << " (" << sdb::audit_severity_text(finding.rule_severity) << " by its rule; info: "
              << (finding.basis == sdb::AuditBasis::VerifiedSignature
                      ? "the file's signature is Microsoft's"
                      : "shaped as Microsoft's own fixes")
              << ")";
    }
    lines.end_line();
}

void write_database(const Inventory& inventory, const DatabaseRecord& database,
                    const OutputOptions& options, Lines& lines) {
    lines << "Database " << (database.guid.empty() ? "(no GUID)" : database.guid) << ": "
          << provenance_text(database.provenance);
    lines.end_line();
    lines << "  Path: ";
    if (database.path.empty()) {
        lines << "(none)";
    } else {
        lines << database.path;
        if (database.file != FileStatus::Ok) {
            lines << " (" << file_status_text(database.file) << ")";
        }
    }
    lines.end_line();
    lines << "  Registered: ";
    for (size_t i = 0; i < database.registrations.size(); ++i) {
        lines << (i == 0 ? "" : ", ");
        write_place(inventory.registrations[database.registrations[i]], lines);
    }
    if (database.registrations.empty()) {
        lines << "nowhere";
    }
    lines.end_line();
    lines.field("Reason", database.reason);
    if (!database.anomalies.empty()) {
        lines << "  Anomalies: ";
        for (size_t i = 0; i < database.anomalies.size(); ++i) {
            lines << (i == 0 ? "" : ", ") << provenance_text(database.anomalies[i]);
        }
        lines.end_line();
    }
    if (!database.read_problem.empty()) {
        lines.field("Read", database.read_problem);
    }
    if (database.size) {
        lines << "  File: " << *database.size << " bytes, SHA-256 " << database.sha256;
        lines.end_line();
    }
    lines.field("Created", date_text(database.times.created));
    lines.field("Modified", date_text(database.times.modified));
    if (!database.readable) {
        return;
    }
    lines.field("Name", database.name);
    lines.field("DATABASE_ID", database.database_id);
    lines.field("Time", date_text(database.time));
    lines.field("Compiler", database.compiler_version);
    write_counts(database.counts, lines);
    if (database.target_count != 0) {
        lines << "  Targets: ";
        joined(database.targets, ", ", lines);
        lines << " (" << database.target_count << " in all)";
        lines.end_line();
    }
    for (const sdb::AuditFinding& finding : database.findings) {
        if (finding.severity >= options.min_severity) {
            write_finding(finding, lines);
        }
    }
}

// A main database in its place, verified or not, is what every system has.
bool main_in_place(const DatabaseRecord& database) {
    return database.provenance == Provenance::VerifiedMicrosoft ||
           database.provenance == Provenance::ClaimedMain;
}

// "Summary: 5 databases (claims-microsoft 1, installed 2, missing-file 2); findings: high 1,
// medium 0, info 40 (40 below medium not listed); 2 with anomalies; 1 warning".
void write_summary(const Inventory& inventory, const InventorySummary& summary,
                   const OutputOptions& options, Lines& lines) {
    lines << "Summary: " << summary.databases << " databases (";
    bool first = true;
    for (const auto& [word, count] : provenance_counts(summary)) {
        if (count != 0) {
            lines << (first ? "" : ", ") << word << " " << count;
            first = false;
        }
    }
    lines << "); findings: high " << summary.findings[2] << ", medium " << summary.findings[1]
          << ", info " << summary.findings[0];
    if (summary.hidden_findings != 0) {
        lines << " (" << summary.hidden_findings << " below "
              << sdb::audit_severity_text(options.min_severity) << " not listed)";
    }
    lines << "; " << summary.anomalies << " with anomalies; " << summary.warnings
          << (summary.warnings == 1 ? " warning" : " warnings");
    lines.end_line();
    lines << "Host: " << (inventory.host.empty() ? "(unknown)" : inventory.host);
    if (std::optional<std::string> collected = date_text(inventory.collected)) {
        lines << ", collected " << *collected;
    }
    lines.end_line();
}

// "Hive (user S-1-5-18) C:\...\NTUSER.DAT: replayed from NTUSER.DAT.LOG1".
void write_hive(const HiveRecord& hive, Lines& lines) {
    lines << "Hive (" << hive.role;
    if (!hive.user.empty()) {
        lines << " " << hive.user;
    }
    lines << ") " << hive.path << ": " << hive_state_text(hive.state);
    if (!hive.logs.empty()) {
        lines << " from ";
        joined(hive.logs, ", ", lines);
    }
    lines.end_line();
}

void write_layer(const StoredLayer& layer, Lines& lines) {
    lines << "Layer (";
    if (layer.hive == Hive::User) {
        lines << "user " << layer.user;
    } else {
        lines << "machine, " << hive_text(layer.hive) << " view";
    }
    lines << ") " << layer.program << ": " << layer.value;
    lines.end_line();
    for (const LayerExpansion& expansion : layer.layers) {
        lines << "  " << expansion.name << ": ";
        if (expansion.found) {
            joined(expansion.shims, ", ", lines);
            lines << " (" << expansion.database << ")";
        } else {
            lines << "not defined in the main or registered databases";
        }
        lines.end_line();
    }
    if (!layer.problem.empty()) {
        lines.field("Problem", layer.problem);
    }
}

} // namespace

std::string inventory_text(const Inventory& inventory, const char* line_end,
                           const OutputOptions& options) {
    Lines lines(line_end);
    lines.text().reserve(512 * (inventory.registrations.size() + inventory.databases.size() +
                                inventory.layers.size() + inventory.assistant.size()));
    write_summary(inventory, summarize(inventory, options), options, lines);
    for (const HiveRecord& hive : inventory.hives) {
        write_hive(hive, lines);
    }
    // What needs a look comes before what every system has: the anomalies, then the other
    // databases that are not Microsoft's; the main databases, with their info findings, last.
    for (bool anomalous : {true, false}) {
        for (const DatabaseRecord& database : inventory.databases) {
            if (database.anomalies.empty() != anomalous &&
                (anomalous || !main_in_place(database))) {
                write_database(inventory, database, options, lines);
            }
        }
    }
    for (const Registration& registration : inventory.registrations) {
        write_registration(registration, lines);
    }
    for (const StoredLayer& layer : inventory.layers) {
        write_layer(layer, lines);
    }
    for (const AssistantRecord& record : inventory.assistant) {
        lines << "Assistant (user " << record.user << ", " << record.list << ") " << record.program;
        lines.end_line();
    }
    for (const DatabaseRecord& database : inventory.databases) {
        if (database.anomalies.empty() && main_in_place(database)) {
            write_database(inventory, database, options, lines);
        }
    }
    return std::move(lines.text());
}

} // namespace inventory
