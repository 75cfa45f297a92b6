// The databases of the inventory: main, registered and in the Custom folders, each once.
//
// Each with its file read and described.
#pragma once

#include "file_view.h"
#include "inventory_records.h"
#include "layer_table.h"
#include "main_databases.h"

#include <cstddef>
#include <string>
#include <vector>

namespace inventory {

// One record per database file (joined by path, case-blind) and per registration that
// names no file; registrations are joined to records by path (InstalledSDB) or by GUID
// (Custom, through InstalledSDB or the {GUID}.sdb name of a Custom file). Records are in
// this order: main databases, registered ones, Custom files that nothing registers.
// Provenance is left for judge_database(). The layers of each registered database that
// opens are added to *layers (when given), after those already there.
std::vector<DatabaseRecord> list_databases(const FileView& files,
                                           const std::vector<MainFile>& mains,
                                           const std::vector<Registration>& registrations,
                                           size_t target_limit, LayerTable* layers,
                                           std::vector<std::string>* warnings);

} // namespace inventory
