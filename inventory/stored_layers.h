// The stored layers, expanded through the databases, and the assistant's records.
#pragma once

#include "inventory_records.h"
#include "layer_table.h"
#include "registry_view.h"

#include <string>
#include <vector>

namespace inventory {

// Splits a stored layer string: leading words of flag characters ("~", "#", "!", "$") are
// markers, the other words layer names, each looked up in table.
void expand_layer_string(const std::string& value, const LayerTable& table, StoredLayer* layer);

// Every value of AppCompatFlags\Layers in the machine's native and 32-bit views, then in each
// user hive, in the registry's order.
std::vector<StoredLayer> read_stored_layers(const RegistryView& registry, const LayerTable& table,
                                            std::vector<std::string>* warnings);

// Every value of the assistant's Store and Persisted keys, user by user.
std::vector<AssistantRecord> read_assistant_records(const RegistryView& registry,
                                                    std::vector<std::string>* warnings);

} // namespace inventory
