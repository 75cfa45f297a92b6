// What an EXE entry applies when it matches: layers, shims, flags, patches and its apphelp.
#pragma once

#include "sdb_reader.h"

#include <cstdint>
#include <string>
#include <vector>

struct EntryApphelp {
    bool present = false;
    bool hasSeverity = false;
    std::uint32_t severity = 0; // PROBLEMSEVERITY
    bool hasHelpId = false;
    std::uint32_t helpId = 0;               // HTMLHELPID
    std::u16string title, details, linkUrl; // of the database's APPHELP of that id, when there
};

struct EntryFixes {
    std::vector<std::u16string> layers, shims, flags, patches; // the NAMEs, in file order
    EntryApphelp apphelp;
};

// The fixes the EXE at `exe` names directly, and its first APPHELP with the message the
// database holds for its HTMLHELPID.
EntryFixes ReadEntryFixes(const sdb::Database& db, sdb::TAGID exe);

// PROBLEMSEVERITY as the apphelp messages' block type: "no-block" (1), "hard-block" (2),
// "minor-problem" (3), "reinstall" (4); "other" for another value.
const char* BlockTypeName(std::uint32_t severity);
