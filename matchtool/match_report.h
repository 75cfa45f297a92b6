// The report of quillet-match for one file: text lines and a JSON object.
#pragma once

#include "entry_evaluator.h"

#include "inventory_records.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>
#include <vector>

// One database given on the command line, or found in an image, opened and indexed once.
struct ToolDatabase {
    std::string path; // as given, or its Windows path in an image
    sdb::DatabasePtr db;
    std::unique_ptr<sdb::ExeIndex> index;
    // In an image: the inventory's provenance word, whether the audit found it impersonating
    // Microsoft's, and whether it counts as Microsoft's own (what --third-party hides).
    bool inImage = false;
    std::string provenance;
    bool impersonates = false;
    bool microsoft = false;
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
    // In an image: the program's machine, the user whose stored layers this report adds
    // (empty for the machine's alone), and the stored layers for the program's path.
    bool inImage = false;
    std::uint16_t machine = 0;
    std::string user;
    std::vector<const inventory::StoredLayer*> layers;
};

// True when the report has something to show: an entry shown or a stored layer.
bool ReportShowsAnything(const FileReport& report, bool explain);

// Text: a "File:" line, then for each entry shown one line modelled on the dialog's
// ("EXE: (0x414) ledgerpro.exe") with the database and the verdict; with `explain`, the
// not-matched entries too and every condition on an indented line.
void WriteTextReport(std::ostream& out, const FileReport& report, bool explain);

// JSON: {"type": "file", "path", "read", "entries": [...]}, in an image also "user",
// "machine" and "layers" (docs/match-json.md).
nlohmann::json JsonReport(const FileReport& report, bool explain);
