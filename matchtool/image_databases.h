// What an offline image applies to its programs: its databases, its stored layers, its Windows.
#pragma once

#include "match_report.h"

#include "image_reading.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

struct ImageDatabases {
    std::vector<std::unique_ptr<ToolDatabase>> owned;
    const ToolDatabase* main32 = nullptr;    // AppPatch\sysmain.sdb
    const ToolDatabase* main64 = nullptr;    // AppPatch\AppPatch64\sysmain.sdb
    std::vector<const ToolDatabase*> custom; // every registered database that opened
    SystemFacts system;                      // no USERPROFILE: that is per user
    // Every stored layer (machine and user) by the folded form of its program's path.
    std::map<std::string, std::vector<const inventory::StoredLayer*>> layers;
    // A database that is damaged, registered but unreadable, or a main one that is missing.
    std::vector<std::string> warnings;
};

// Opens the main and the registered databases the inventory found, each with its provenance,
// and indexes the stored layers. A database counts as Microsoft's own only when it is a main
// database in its place, carrying a main DATABASE_ID, with no impersonates-microsoft finding:
// offline no signature is verified, so this rests on place and content shape alone.
ImageDatabases PrepareImageDatabases(const image_inventory::ImageReading& image);

// The main database a program of that PE machine is matched against (the 64-bit one for
// AMD64, ARM64 and IA64; the 32-bit one for i386, other machines and NE files).
const ToolDatabase* MainDatabaseFor(const ImageDatabases& databases, std::uint16_t machine);
