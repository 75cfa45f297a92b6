// The report of quillet-match for one file: text lines and a JSON object.
#pragma once

#include "entry_evaluator.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

// One database given on the command line, opened and indexed once.
struct ToolDatabase {
    std::string path;
    sdb::DatabasePtr db;
    std::unique_ptr<sdb::ExeIndex> index;
};

// The candidates of one database for one file.
struct DatabaseVerdicts {
    const ToolDatabase* database;
    std::vector<EntryResult> entries;
};

struct FileReport {
    std::string path;
    bool read = false; // false: the file could not be read, no entries
    std::vector<DatabaseVerdicts> databases;
};

// Text: a "File:" line, then for each entry shown one line modelled on the dialog's
// ("EXE: (0x414) ledgerpro.exe") with the database and the verdict; with `explain`, the
// not-matched entries too and every condition on an indented line.
void WriteTextReport(std::ostream& out, const FileReport& report, bool explain);

// JSON: {"type": "file", "path", "read", "entries": [...]} (docs/match-json.md).
nlohmann::json JsonReport(const FileReport& report, bool explain);
