// Building the inventory from a registry view and a file-system view.
#pragma once

#include "file_view.h"
#include "inventory_records.h"
#include "registry_view.h"

#include <cstddef>

namespace inventory {

struct InventoryOptions {
    bool databases = true;   // registrations and database files
    bool layers = true;      // stored layers (with their expansion) and the assistant's records
    size_t target_limit = 5; // targeted programs listed per database
};

// Reads what options ask for. Only reads: a view is never asked to change anything.
// Bad values and unreadable keys give fields of the records or warnings, never a stop.
Inventory build_inventory(const RegistryView& registry, const FileView& files,
                          const InventoryOptions& options = {});

} // namespace inventory
