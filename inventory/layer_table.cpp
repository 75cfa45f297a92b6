// The layers the main and the registered databases define, by name, with their shims.
#include "layer_table.h"

#include "windows_paths.h"

#include "sdb_text.h"

namespace inventory {

void LayerTable::add_database(const sdb::Database& db, const std::string& path, bool main) {
    sdb::TAGID database = sdb::database_list(db);
    if (database == 0) {
        return;
    }
    for (sdb::TAGID layer = sdb::find_first_tag(db, database, sdb::TAG_LAYER); layer != 0;
         layer = sdb::find_next_tag(db, database, layer)) {
        const char16_t* name = sdb::get_child_string_ptr(db, layer, sdb::TAG_NAME);
        if (name == nullptr) {
            continue;
        }
        std::string key = fold_case(sdb::to_utf8(name));
        if (layers_.count(key) != 0) {
            continue;
        }
        LayerDefinition definition;
        definition.database = path;
        definition.main = main;
        for (sdb::TAGID ref = sdb::find_first_tag(db, layer, sdb::TAG_SHIM_REF); ref != 0;
             ref = sdb::find_next_tag(db, layer, ref)) {
            const char16_t* shim = sdb::get_child_string_ptr(db, ref, sdb::TAG_NAME);
            definition.shims.push_back(shim != nullptr ? sdb::to_utf8(shim) : std::string());
        }
        layers_.emplace(key, definition);
    }
}

const LayerDefinition* LayerTable::find(const std::string& name) const {
    auto found = layers_.find(fold_case(name));
    return found != layers_.end() ? &found->second : nullptr;
}

} // namespace inventory
