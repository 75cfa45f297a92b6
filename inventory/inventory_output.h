// The text and the JSON Lines of an inventory, written from the same records.
#pragma once

#include "inventory_records.h"

#include <string>
#include <vector>

namespace inventory {

// The text report, one line per element, UTF-8, without line ends.
std::vector<std::string> inventory_text_lines(const Inventory& inventory);

// One JSON object per line, without line ends, every character beyond ASCII escaped as
// \uXXXX: "registration", "database", "layer" and "assistant" objects, in that order.
std::vector<std::string> inventory_json_lines(const Inventory& inventory);

} // namespace inventory
