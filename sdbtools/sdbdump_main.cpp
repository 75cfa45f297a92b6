// sdbdump: prints a shim database as a tree, as XML or as JSON; finds EXE entries by name;
// audits databases for risky fixes.
#include "audit.h"
#include "dump_items.h"
#include "json_dump.h"
#include "sdb_dump.h"
#include "sdb_exe_lookup.h"
#include "sdb_text.h"
#include "version.h"
#include "xml_dump.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char USAGE[] =
    "usage: sdbdump [--xml | --json] FILE.sdb\n"
    "       sdbdump --find NAME FILE.sdb\n"
    "       sdbdump --audit [--strict] [--json] [--] FILE.sdb...\n"
    "       sdbdump --help | --version\n"
    "Prints a shim database: as an indented tree (the default), as XML that sdbc compiles\n"
    "back into the same bytes, or as JSON. --find prints the EXE entries that apply to a\n"
    "file name: those of that name and those whose wildcard name (* and ?) matches it,\n"
    "after a line that says how they were searched and how many of each were found.\n"
    "--audit prints the database's identity and provenance, then one line per fix that\n"
    "brings code into a program, raises or weakens its security or applies widely, with a\n"
    "severity (high, medium, info); a fix shaped as Microsoft's own is info unless --strict\n"
    "(the signature is not verified here); --json writes JSON Lines.\n"
    "A FILE of - reads the database from standard input.\n"
    "Exit status: 0 done (audit: nothing high or medium), 1 a file unreadable or damaged\n"
    "(after printing what could be read), 2 usage error, 3 the audit found something high\n"
    "or medium (even in a damaged file), 4 --find found no entry.\n";

int usage() {
    std::cerr << USAGE;
    return 2;
}

// The whole of standard input.
std::vector<uint8_t> read_standard_input() {
    std::vector<uint8_t> bytes;
    uint8_t buffer[1 << 16];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

// Opens a file, or standard input for "-".
sdb::DatabasePtr open(const char* path) {
    sdb::OpenError error = sdb::OpenError::None;
    sdb::DatabasePtr db = std::strcmp(path, "-") == 0
                              ? sdb::open_database_bytes(read_standard_input(), &error)
                              : sdb::open_database_file(path, &error);
    if (!db) {
        std::cerr << "sdbdump: " << path << ": " << sdb::open_error_text(error) << '\n';
    }
    return db;
}

// The walk's problem, if any, as the text dump's last line or on standard error; 1 then.
int report(const sdb::WalkResult& result, std::ostream& out) {
    if (result.problem != sdb::WalkProblem::None) {
        out << "stopped at " << offset_text(result.where) << ": "
            << sdb::walk_problem_text(result.problem) << '\n';
        return 1;
    }
    if (result.value_problem != sdb::WalkProblem::None) {
        out << "bad value at " << offset_text(result.value_where) << ": "
            << sdb::walk_problem_text(result.value_problem) << '\n';
        return 1;
    }
    return 0;
}

// The EXEs that apply to the file name in the order Windows searches (wildcard names,
// exact names, 16-bit entries of the name without its extension as module name), each as
// a subtree, after a line saying how they were searched and how many of each kind were found.
int find(const char* name, const char* path) {
    std::u16string wanted;
    if (!sdb::from_utf8(name, &wanted)) {
        std::cerr << "sdbdump: the name is not UTF-8\n";
        return 2;
    }
    sdb::DatabasePtr db = open(path);
    if (!db) {
        return 1;
    }
    std::u16string module = wanted.substr(0, wanted.find_last_of(u'.'));
    sdb::ExeIndex index(*db);
    std::vector<sdb::ExeCandidate> found;
    index.find(wanted.c_str(), module.c_str(), &found);
    size_t counts[3] = {0, 0, 0};
    for (const sdb::ExeCandidate& candidate : found) {
        ++counts[static_cast<int>(candidate.source)];
    }
    std::cout << "find " << quoted(wanted.c_str()) << ": " << counts[0] << " wildcard "
              << (index.wildcard_index() ? "through the EXE/WILDCARD_NAME index"
                                         : "by a scan of DATABASE")
              << ", " << counts[1] << " exact, " << counts[2] << " 16-bit of module "
              << quoted(module.c_str()) << '\n';
    int status = 0;
    for (const sdb::ExeCandidate& candidate : found) {
        status |= report(dump_item(*db, candidate.exe, std::cout), std::cout);
    }
    // Damage may hide entries: that is said, and outranks finding none.
    if (sdb::database_stopped_at(*db) != 0) {
        std::cout << "stopped at " << offset_text(sdb::database_stopped_at(*db)) << ": "
                  << sdb::database_stop_reason(*db) << '\n';
        return 1;
    }
    return found.empty() ? 4 : status;
}

// --audit's arguments: its options, then the files (after "--", anything is a file).
int audit(int count, char** args) {
    sdb::AuditOptions options;
    bool json = false;
    int i = 0;
    for (; i < count && std::strncmp(args[i], "--", 2) == 0; ++i) {
        if (std::strcmp(args[i], "--") == 0) {
            ++i;
            break;
        }
        if (std::strcmp(args[i], "--strict") == 0) {
            options.strict = true;
        } else if (std::strcmp(args[i], "--json") == 0) {
            json = true;
        } else {
            return usage();
        }
    }
    if (i == count) {
        return usage();
    }
    bool found = false;
    bool damaged = false;
    for (; i < count; ++i) {
        sdb::DatabasePtr db = open(args[i]);
        if (!db) {
            damaged = true;
            continue;
        }
        sdb::AuditReport report = sdb::audit_database(*db, options);
        if (json) {
            write_audit_json(args[i], report, std::cout);
        } else {
            write_audit_text(args[i], report, std::cout);
        }
        sdb::TAGID where = 0;
        std::string reason;
        if (sdb::audit_damage(report, &where, &reason)) {
            std::cerr << "sdbdump: " << args[i] << ": damaged at " << offset_text(where) << ": "
                      << reason << '\n';
            damaged = true;
        }
        found = found || sdb::audit_actionable(report);
    }
    // A finding comes first: a script that acts on 3 must not miss it for damage or for
    // another file.
    return found ? 3 : damaged ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::cout << USAGE;
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << quillet::version_text("sdbdump") << '\n';
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--audit") == 0) {
        return audit(argc - 2, argv + 2);
    }
    if (argc == 4 && std::strcmp(argv[1], "--find") == 0) {
        return find(argv[2], argv[3]);
    }
    bool xml = argc == 3 && std::strcmp(argv[1], "--xml") == 0;
    bool json = argc == 3 && std::strcmp(argv[1], "--json") == 0;
    if (!xml && !json && (argc != 2 || std::strncmp(argv[1], "--", 2) == 0)) {
        return usage();
    }
    const char* path = argv[argc - 1];
    sdb::DatabasePtr db = open(path);
    if (!db) {
        return 1;
    }
    if (!xml && !json) {
        return report(dump_database(*db, std::cout), std::cout);
    }
    sdb::WalkResult result = xml ? dump_xml(*db, std::cout) : dump_json(*db, std::cout);
    // The document holds where a walk stopped; standard error says it too.
    std::cout.flush();
    return report(result, std::cerr);
}
