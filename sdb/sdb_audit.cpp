// The audit of a shim database: the database's identity and the findings of each rule.
#include "sdb_audit.h"

#include "sdb_text.h"

namespace sdb {

namespace {

// Microsoft's main databases by the DATABASE_ID that Microsoft publishes for them.
struct MainDatabase {
    const char* id;
    const char* file;
};
const MainDatabase MAIN_DATABASES[] = {
    {"{11111111-1111-1111-1111-111111111111}", "sysmain.sdb"},
    {"{d8ff6d16-6a3a-468a-8b44-01714ddc49ea}", "msimain.sdb"},
    {"{f9ab2228-3312-4a73-b6f9-936d70e112ef}", "drvmain.sdb"},
};

std::string utf8_or_empty(const char16_t* text) {
    return text != nullptr ? to_utf8(text) : std::string();
}

DatabaseIdentity identity_of(const Database& db, TAGID database) {
    DatabaseIdentity identity;
    identity.name = utf8_or_empty(get_child_string_ptr(db, database, TAG_NAME));
    TAGID id = find_first_tag(db, database, TAG_DATABASE_ID);
    identity.has_id = id != 0 && read_guid(db, id, &identity.id);
    TAGID time = find_first_tag(db, database, TAG_TIME);
    identity.has_time = time != 0 && get_tag(db, time) == TAG_TIME;
    identity.time = identity.has_time ? read_qword(db, time) : 0;
    for (const MainDatabase& main : MAIN_DATABASES) {
        Guid known{};
        if (identity.has_id && parse_guid(main.id, &known) && known == identity.id) {
            identity.microsoft_main = true;
            identity.main_reason = std::string("DATABASE_ID is that of ") + main.file;
        }
    }
    return identity;
}

} // namespace

const char* audit_severity_text(AuditSeverity severity) {
    switch (severity) {
    case AuditSeverity::High:
        return "high";
    case AuditSeverity::Medium:
        return "medium";
    case AuditSeverity::Info:
        break;
    }
    return "info";
}

AuditReport audit_database(const Database& db, const AuditOptions&) {
    AuditReport report;
    TAGID database = database_list(db);
    // Parent 0 would stand for the root.
    if (database != 0) {
        report.identity = identity_of(db, database);
    }
    report.walk = walk_database(db, [](TAGID, unsigned) {});
    return report;
}

bool audit_actionable(const AuditReport& report) {
    for (const AuditFinding& finding : report.findings) {
        if (finding.severity != AuditSeverity::Info) {
            return true;
        }
    }
    return false;
}

} // namespace sdb
