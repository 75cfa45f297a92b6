// The inventory of the running system's shim databases and stored layers, on standard output.
#pragma once

#include "../sdb/sdb_audit.h"

struct InventoryOutcome {
    bool alarm;    // an anomaly or an audit finding above info
    bool complete; // no warning: every key, value and folder it needed was read
};

// Builds the inventory from the system's registry and file system (and the layers' shims
// from the shim engine) and writes it as text lines or JSON Lines; its warnings also go to
// standard error. Findings below minSeverity are counted in the summary, not listed. Every
// record carries the computer's name and the time of collection.
InventoryOutcome ReportInventory(bool databases, bool layers, bool json,
                                 sdb::AuditSeverity minSeverity);
