// The layers the main and the registered databases define, by name, with their shims.
#pragma once

#include "sdb_reader.h"

#include <map>
#include <string>
#include <vector>

namespace inventory {

struct LayerDefinition {
    std::string database;           // the path of the database that defines it
    bool main = false;              // that database is one of the main ones
    std::vector<std::string> shims; // its SHIM_REF names, in file order
};

class LayerTable {
public:
    // Adds the LAYER entries of db; a name defined already keeps its first definition, so
    // that the main databases, added first, come before the registered ones as in the engine.
    void add_database(const sdb::Database& db, const std::string& path, bool main);
    // The layer of that name (compared without regard to case); nullptr when none.
    const LayerDefinition* find(const std::string& name) const;

private:
    std::map<std::string, LayerDefinition> layers_; // by folded name
};

} // namespace inventory
