// An offline image read once: its files, its hives, the inventory and the banner.
#include "image_reading.h"

#include "image_hives.h"

namespace image_inventory {

std::unique_ptr<ImageReading> read_image(const CommandLine& line,
                                         const inventory::InventoryOptions& options) {
    std::unique_ptr<ImageReading> image(new ImageReading(line.root));
    std::vector<std::string> warnings;
    image->all_read = open_hives(line, image->files, &image->registry, &warnings);
    image->inventory = inventory::build_inventory(image->registry, image->files, options);
    image->inventory.host = image->registry.host_name();
    image->inventory.hives = image->registry.hive_records();
    image->inventory.warnings.insert(image->inventory.warnings.begin(), warnings.begin(),
                                     warnings.end());
    image->banner = read_banner(image->registry, line.root.empty() ? line.software : line.root);
    return image;
}

} // namespace image_inventory
