// The command line of quillet-image.
#pragma once

#include "sdb_audit.h"

#include <string>
#include <vector>

namespace image_inventory {

struct CommandLine {
    std::string root;                 // the image; empty when only hive files are given
    std::string software;             // --software FILE: replaces ROOT's SOFTWARE hive
    std::vector<std::string> ntusers; // --ntuser FILE...: replace ROOT's user hives
    std::string system;               // --system FILE: replaces ROOT's SYSTEM hive
    // --min-severity LEVEL: findings below it are counted, not listed
    sdb::AuditSeverity min_severity = sdb::AuditSeverity::Info;
    bool json = false;
    bool help = false;
    bool version = false;
};

// The usage text, ending in a line end.
const char* usage_text();

// Parses argv; false with the reason in *error for a usage error.
bool parse_command_line(int argc, const char* const* argv, CommandLine* line, std::string* error);

} // namespace image_inventory
