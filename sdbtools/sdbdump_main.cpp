// sdbdump: prints a shim database as an indented tree.
#include "sdb_dump.h"

#include <cinttypes>
#include <cstdio>
#include <iostream>

namespace {

std::string offset(sdb::TAGID tagid) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08" PRIX32, tagid);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: sdbdump FILE.sdb\n";
        return 2;
    }
    sdb::OpenError error = sdb::OpenError::None;
    sdb::DatabasePtr db = sdb::open_database_file(argv[1], &error);
    if (!db) {
        std::cerr << "sdbdump: " << argv[1] << ": " << sdb::open_error_text(error) << '\n';
        return 1;
    }
    sdb::WalkResult result = dump_database(*db, std::cout);
    if (result.problem != sdb::WalkProblem::None) {
        std::cout << "stopped at " << offset(result.where) << ": "
                  << sdb::walk_problem_text(result.problem) << '\n';
        return 1;
    }
    if (result.value_problem != sdb::WalkProblem::None) {
        std::cout << "bad value at " << offset(result.value_where) << ": "
                  << sdb::walk_problem_text(result.value_problem) << '\n';
        return 1;
    }
    return 0;
}
