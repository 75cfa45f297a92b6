// An offline image read once: its files, its hives, the inventory and the banner.
//
// What quillet-image reports and what quillet-match --image matches against.
#pragma once

#include "command_line.h"
#include "image_banner.h"
#include "image_files.h"
#include "image_registry.h"
#include "inventory.h"

#include <memory>
#include <string>

namespace image_inventory {

struct ImageReading {
    explicit ImageReading(const std::string& root) : files(root) {}
    ImageFiles files;
    ImageRegistry registry;
    inventory::Inventory inventory;
    ImageBanner banner;
    bool all_read = false; // every hive that is there or was named could be read
};

// Opens the hives line names (ROOT's, or the files given), builds the inventory and reads the
// banner. Every warning, the hives' first, is in inventory.warnings.
std::unique_ptr<ImageReading> read_image(const CommandLine& line,
                                         const inventory::InventoryOptions& options = {});

} // namespace image_inventory
