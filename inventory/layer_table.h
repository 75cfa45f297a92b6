// The layers the main databases define, by name, with the shims each holds.
#pragma once

#include "sdb_reader.h"

#include <map>
#include <string>
#include <vector>

namespace inventory {

struct LayerDefinition {
    std::string database;           // the path of the database that defines it
    std::vector<std::string> shims; // its SHIM_REF names, in file order
};

class LayerTable {
public:
    // Adds the LAYER entries of db; a name defined already keeps its first definition.
    void add_database(const sdb::Database& db, const std::string& path);
    // The layer of that name (compared without regard to ASCII case); nullptr when none.
    const LayerDefinition* find(const std::string& name) const;

private:
    std::map<std::string, LayerDefinition> layers_; // by lower-case name
};

} // namespace inventory
