// The English words of the views' and the records' enumerations, and the alarm test.
#include "inventory_records.h"

namespace inventory {

const char* key_status_text(KeyStatus status) {
    switch (status) {
    case KeyStatus::Present:
        return "present";
    case KeyStatus::Missing:
        return "missing";
    case KeyStatus::Unreadable:
        break;
    }
    return "unreadable";
}

const char* file_status_text(FileStatus status) {
    switch (status) {
    case FileStatus::Ok:
        return "ok";
    case FileStatus::Missing:
        return "missing";
    case FileStatus::Unreadable:
        return "unreadable";
    case FileStatus::OutsideRoot:
        return "outside the image";
    case FileStatus::NotAFile:
        return "not a file";
    case FileStatus::Unavailable:
        break;
    }
    return "not available (no file system given)";
}

const char* hive_text(Hive hive) {
    switch (hive) {
    case Hive::Machine:
        return "native";
    case Hive::Machine32:
        return "32-bit";
    case Hive::User:
        break;
    }
    return "user";
}

const char* registration_kind_text(RegistrationKind kind) {
    return kind == RegistrationKind::Custom ? "Custom" : "InstalledSDB";
}

const char* provenance_text(Provenance provenance) {
    switch (provenance) {
    case Provenance::VerifiedMicrosoft:
        return "verified-microsoft";
    case Provenance::ClaimedMain:
        return "claims-microsoft";
    case Provenance::Installed:
        return "installed";
    case Provenance::MissingFile:
        return "missing-file";
    case Provenance::Unregistered:
        return "unregistered";
    case Provenance::GuidMismatch:
        return "guid-mismatch";
    case Provenance::ClaimsMicrosoft:
        return "claims-microsoft";
    case Provenance::NotADatabase:
        break;
    }
    return "not-a-database";
}

const char* hive_state_text(HiveState state) {
    switch (state) {
    case HiveState::Clean:
        return "clean";
    case HiveState::Replayed:
        return "replayed";
    case HiveState::Dirty:
        return "dirty";
    case HiveState::Damaged:
        break;
    }
    return "damaged";
}

bool is_anomaly(Provenance provenance) {
    return provenance != Provenance::VerifiedMicrosoft && provenance != Provenance::ClaimedMain &&
           provenance != Provenance::Installed;
}

bool inventory_alarms(const Inventory& inventory) {
    for (const DatabaseRecord& database : inventory.databases) {
        if (!database.anomalies.empty()) {
            return true;
        }
        // What the audit reports as info (fixes shaped as Microsoft's own, or in a file
        // whose signature is Microsoft's) is on every system and no reason to act.
        for (const sdb::AuditFinding& finding : database.findings) {
            if (finding.severity != sdb::AuditSeverity::Info) {
                return true;
            }
        }
    }
    return false;
}

} // namespace inventory
