// The verdict on a database: verified-microsoft, claims-microsoft, installed, or the anomalies that
// hold, with reasons.
#include "provenance.h"

#include "windows_paths.h"

namespace inventory {

namespace {

// "registered in InstalledSDB (native view)"
std::string registered_in(const Registration& registration) {
    std::string text = "registered in ";
    text.append(registration_kind_text(registration.kind))
        .append(" (")
        .append(hive_text(registration.hive))
        .append(" view)");
    return text;
}

bool names_microsoft(const std::string& name) {
    return fold_case(name).find("microsoft") != std::string::npos;
}

void add(Provenance word, const std::string& reason, DatabaseRecord* record) {
    record->anomalies.push_back(word);
    if (!record->reason.empty()) {
        record->reason += "; ";
    }
    record->reason += reason;
}

} // namespace

void judge_database(const std::vector<Registration>& registrations, DatabaseRecord* record) {
    record->anomalies.clear();
    record->reason.clear();
    bool registered = !record->registrations.empty();
    bool absent = record->file != FileStatus::Ok && record->file != FileStatus::Unreadable &&
                  record->file != FileStatus::Unavailable;
    if (registered && absent) {
        const Registration& first = registrations[record->registrations.front()];
        add(Provenance::MissingFile,
            record->path.empty()
                ? registered_in(first) + " with no DatabasePath"
                : registered_in(first) + ", but the file is " + file_status_text(record->file),
            record);
    } else if (record->main && absent) {
        add(Provenance::MissingFile,
            std::string("a main database, but the file is ") + file_status_text(record->file),
            record);
    }
    if (record->file == FileStatus::Unreadable) {
        add(Provenance::NotADatabase, "the file cannot be read", record);
    } else if (record->file == FileStatus::Ok && !record->readable) {
        add(Provenance::NotADatabase, "not a database: " + record->read_problem, record);
    }
    if (record->readable) {
        std::string id = record->database_id ? *record->database_id : std::string("none");
        for (size_t index : record->registrations) {
            const Registration& registration = registrations[index];
            if (!equal_ignoring_case(registration.guid, id)) {
                add(Provenance::GuidMismatch,
                    registered_in(registration) + " as " + registration.guid +
                        ", but its DATABASE_ID is " + id,
                    record);
                break;
            }
        }
        if (record->main && record->main_id.empty()) {
            add(Provenance::GuidMismatch,
                "in the place of a main database, but its DATABASE_ID (" + id +
                    ") is not that of one",
                record);
        }
        if (!record->main && !record->main_id.empty()) {
            add(Provenance::ClaimsMicrosoft, "not a main database, but its " + record->main_id,
                record);
        } else if (!record->main && record->name && names_microsoft(*record->name)) {
            add(Provenance::ClaimsMicrosoft,
                "not a main database, but its NAME \"" + *record->name + "\" claims Microsoft",
                record);
        }
    }
    if (!registered && !record->main) {
        add(Provenance::Unregistered,
            record->file == FileStatus::Ok
                ? std::string("in a Custom folder, and nothing registers it")
                : std::string("in a Custom folder, nothing registers it, and the file is ") +
                      file_status_text(record->file),
            record);
    }
    const Provenance order[] = {Provenance::MissingFile, Provenance::NotADatabase,
                                Provenance::GuidMismatch, Provenance::ClaimsMicrosoft,
                                Provenance::Unregistered};
    for (Provenance word : order) {
        for (Provenance anomaly : record->anomalies) {
            if (anomaly == word) {
                record->provenance = word;
                return;
            }
        }
    }
    if (record->main) {
        // Place and DATABASE_ID are plain data: only the signature tells Microsoft's file.
        bool verified = record->signature.state == sdb::SignatureState::Verified;
        record->provenance = verified ? Provenance::VerifiedMicrosoft : Provenance::ClaimedMain;
        record->reason = "a main database in its place, and its " + record->main_id +
                         "; signature " + sdb::signature_state_text(record->signature.state);
        if (!record->signature.signer.empty()) {
            record->reason += ", signed by " + record->signature.signer;
        }
        if (!record->signature.detail.empty()) {
            record->reason += ": " + record->signature.detail;
        }
    } else {
        record->provenance = Provenance::Installed;
        record->reason = registered_in(registrations[record->registrations.front()]) +
                         (record->readable ? ", and its DATABASE_ID is the registered GUID"
                                           : ", its file not checked: " +
                                                 std::string(file_status_text(record->file)));
    }
}

} // namespace inventory
