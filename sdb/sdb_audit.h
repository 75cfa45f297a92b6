// The audit of a shim database: typed findings on fixes that bring code into a program,
// raise or weaken its security or reach every program, and the database's identity.
// Portable (standard library and sdbformat only), so that other tools can reuse it.
#pragma once

#include "sdb_guid.h"
#include "sdb_reader.h"
#include "sdb_walk.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sdb {

enum class AuditSeverity { Info, Medium, High };
// "info", "medium", "high".
const char* audit_severity_text(AuditSeverity severity);

// One decoded fact of a finding. `name` is a tag name (COMMAND_LINE, DLLFILE, MODULE_NAME)
// or a lower-case word for what no tag names (offset); `value` is UTF-8 text, numbers as
// 0x… hex, so that the text and the JSON forms show the same.
struct AuditField {
    std::string name;
    std::string value;
};

// The entry through which a fix applies.
struct AuditEntry {
    TAGID tagid = 0;      // an EXE, LAYER, MSI_PACKAGE, MSI_CUSTOM_ACTION, SHIM, PATCH or DATABASE
    TAG kind = 0;         // its tag
    std::string name;     // its NAME, UTF-8; empty when it has none
    std::string exe;      // the NAME of the EXE (or MSI_PACKAGE) it is or lies in; else empty
    std::string app_name; // that EXE's or MSI_PACKAGE's APP_NAME; else empty
};

struct AuditFinding {
    // The rule's id ("inject-dll"); sdb/README.md lists them.
    std::string rule;
    // As reported: info in one of Microsoft's main databases unless strict.
    AuditSeverity severity = AuditSeverity::Info;
    // As the rule rates it in any other database.
    AuditSeverity rule_severity = AuditSeverity::Info;
    // The item that applies the fix (SHIM_REF, PATCH_REF, ...).
    TAGID where = 0;
    AuditEntry entry;
    std::string summary;             // what the fix does, in a few words
    std::vector<AuditField> details; // decoded fields, in a fixed order per rule
};

// Who the database says it is, and whether it is one of Microsoft's main databases.
struct DatabaseIdentity {
    std::string name; // NAME, UTF-8; empty when absent
    bool has_id = false;
    Guid id{}; // DATABASE_ID
    bool has_time = false;
    uint64_t time = 0; // TIME, a FILETIME (100 ns units since 1601)
    bool microsoft_main =
        false;               // its DATABASE_ID is one that Microsoft publishes for a main database
    std::string main_reason; // why: which database that ID is ("sysmain.sdb"); else empty
};

struct AuditOptions {
    bool strict = false; // findings in Microsoft's main databases keep their rule's severity
};

struct AuditReport {
    DatabaseIdentity identity;
    std::vector<AuditFinding> findings; // in file order, one per rule and entry
    // Where reading stopped in a damaged file; the findings cover the readable part.
    WalkResult walk;
};

// Audits db. Reads through the bounds-checked navigation, so a damaged file gives the
// findings of its readable part, with the damage in report.walk.
AuditReport audit_database(const Database& db, const AuditOptions& options = {});

// True when a finding is high or medium: what a script should act on.
bool audit_actionable(const AuditReport& report);

} // namespace sdb
