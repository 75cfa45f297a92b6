// The text and the JSON Lines of an inventory, written from the same records.
#pragma once

#include "inventory_records.h"

#include <string>

namespace inventory {

// The text report, one line per element, each ended by line_end, UTF-8.
std::string inventory_text(const Inventory& inventory, const char* line_end);

// One JSON object per line, each ended by line_end, every character beyond ASCII escaped as
// \uXXXX: "registration", "database", "layer", "assistant" and "warning" objects, in that
// order.
std::string inventory_json(const Inventory& inventory, const char* line_end);

} // namespace inventory
