// Building the inventory from a registry view and a file-system view.
#include "inventory.h"

#include "database_list.h"
#include "layer_table.h"
#include "main_databases.h"
#include "provenance.h"
#include "registrations.h"
#include "stored_layers.h"

namespace inventory {

Inventory build_inventory(const RegistryView& registry, const FileView& files,
                          const InventoryOptions& options) {
    Inventory inventory;
    if (!options.databases && !options.layers) {
        return inventory;
    }
    std::vector<MainFile> mains = read_main_databases(files);
    LayerTable table;
    for (const MainFile& main : mains) {
        sdb::DatabasePtr db = sdb::open_database_buffer(main.bytes.data(), main.bytes.size());
        if (db) {
            table.add_database(*db, main.path, true);
        }
    }
    // The layers need the registered databases too (what keeps them from being read is
    // warned of either way); the records are kept when asked for.
    inventory.registrations =
        read_registrations(registry, files.windows_directory(), &inventory.warnings);
    inventory.databases = list_databases(files, mains, inventory.registrations,
                                         options.target_limit, &table, &inventory.warnings);
    if (options.databases) {
        for (DatabaseRecord& record : inventory.databases) {
            judge_database(inventory.registrations, &record);
        }
    } else {
        inventory.registrations.clear();
        inventory.databases.clear();
    }
    if (options.layers) {
        inventory.layers = read_stored_layers(registry, table, &inventory.warnings);
        inventory.assistant = read_assistant_records(registry, &inventory.warnings);
    }
    return inventory;
}

} // namespace inventory
