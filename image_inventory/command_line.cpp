// The command line of quillet-image.
#include "command_line.h"

namespace image_inventory {

const char* usage_text() {
    return "Usage: quillet-image [--json] [--min-severity LEVEL] [--software FILE]\n"
           "                    [--system FILE] [--ntuser FILE]... [ROOT]\n"
           "Lists the shim databases, their registrations and the stored layers of a Windows\n"
           "image: ROOT is a mounted Windows volume or a collection that keeps its paths.\n"
           "  --software FILE  read this SOFTWARE hive instead of ROOT's\n"
           "  --system FILE    read this SYSTEM hive (the computer's name) instead of ROOT's\n"
           "  --ntuser FILE    read this user hive instead of ROOT's (repeatable)\n"
           "  --min-severity LEVEL  list only findings of LEVEL (info, medium, high) and above;\n"
           "                   the summary counts the others\n"
           "  --json           write JSON Lines instead of text\n"
           "  --help           show this text\n"
           "  --version        show the program's version\n"
           "Exit codes: 0 listed, 1 incomplete: a hive, ROOT, a key or a value could not be\n"
           "read (each named in a warning; what could be is listed), 2 usage error, 3 a\n"
           "database has an anomaly or an audit finding above info, 4 both 3 and 1.\n";
}

bool parse_command_line(int argc, const char* const* argv, CommandLine* line, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help") {
            line->help = true;
        } else if (argument == "--version") {
            line->version = true;
        } else if (argument == "--json") {
            line->json = true;
        } else if (argument == "--min-severity") {
            std::string level = i + 1 < argc ? argv[++i] : "";
            if (level == "info" || level == "medium" || level == "high") {
                line->min_severity = level == "info"     ? sdb::AuditSeverity::Info
                                     : level == "medium" ? sdb::AuditSeverity::Medium
                                                         : sdb::AuditSeverity::High;
            } else {
                *error = "--min-severity needs info, medium or high";
                return false;
            }
        } else if (argument == "--software" || argument == "--ntuser" || argument == "--system") {
            if (i + 1 >= argc) {
                *error = argument + " needs a file";
                return false;
            }
            std::string file = argv[++i];
            std::string* single = argument == "--software" ? &line->software : &line->system;
            if (argument == "--ntuser") {
                line->ntusers.push_back(file);
            } else if (!single->empty()) {
                *error = argument + " is given twice";
                return false;
            } else {
                *single = file;
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            *error = "unknown option " + argument;
            return false;
        } else if (!line->root.empty()) {
            *error = "more than one ROOT";
            return false;
        } else {
            line->root = argument;
        }
    }
    if (!line->help && !line->version && line->root.empty() && line->software.empty() &&
        line->ntusers.empty()) {
        *error = "no ROOT and no hive file";
        return false;
    }
    return true;
}

} // namespace image_inventory
