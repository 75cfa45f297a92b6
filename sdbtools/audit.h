// The audit of risky fixes: entries that can run foreign code in a program or change its
// code (the rules and their public sources are listed in sdb/README.md).
#pragma once

#include "sdb_reader.h"

#include <string>
#include <vector>

struct Finding {
    sdb::TAGID where;   // the entry that applies the fix
    std::string rule;   // "inject-dll", "redirect-exe", "patch"
    std::string detail; // what it applies, and to which EXE with which matching attributes
};

// Every finding of db in file order. Reads through the bounds-checked navigation, so a
// damaged file gives the findings of its readable part.
std::vector<Finding> audit_database(const sdb::Database& db);
