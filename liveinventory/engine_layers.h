// The shims of stored layers, read from the main databases through the shim engine's own
// database calls.
#pragma once

#include <string>
#include <vector>

#include "../inventory/inventory_records.h"

// One LAYER entry of a database and the names of its SHIM_REF entries, in file order.
struct EngineLayer {
    std::string name;
    std::vector<std::string> shims;
};

// The LAYER entries directly under the database's DATABASE, read with SdbOpenDatabase,
// SdbFindFirstTag, SdbFindNextTag and SdbGetStringTagPtr with WoW64 file-system redirection
// off. False when the engine lacks one of these calls or cannot open the file.
bool ReadEngineLayers(const std::wstring& path, std::vector<EngineLayer>& layers);

// Gives each layer named in the inventory's stored layer strings the shims that the first of
// the main databases defining it holds (names compared without regard to case), in the order
// given. A layer that none defines keeps the inventory's expansion from a registered
// database, or is marked not found. Each main database is opened once;
// one that the engine cannot open gives a warning of the inventory.
void ExpandStoredLayers(const std::vector<std::string>& mainDatabases,
                        inventory::Inventory& inventory);
