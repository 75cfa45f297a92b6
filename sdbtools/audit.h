// The audit's report as sdbdump writes it: lines of text, or JSON Lines, from the typed
// report of the audit library.
#pragma once

#include "sdb_audit.h"

#include <ostream>
#include <string>

// The database's identity line, then one line per finding, each starting with "FILE: ";
// nothing for a report without findings.
void write_audit_text(const std::string& file, const sdb::AuditReport& report, std::ostream& out);
// The same as JSON Lines: a "database" object, then one "finding" object per finding;
// nothing for a report without findings. A damaged file adds a "damage" object.
void write_audit_json(const std::string& file, const sdb::AuditReport& report, std::ostream& out);
