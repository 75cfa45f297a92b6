// The stored layers, expanded through the databases, and the assistant's records.
#include "stored_layers.h"

#include "registry_keys.h"
#include "registry_values.h"

namespace inventory {

namespace {

const char* const ASSISTANT_LISTS[] = {"Store", "Persisted"};

bool is_marker_word(const std::string& word) {
    return word.find_first_not_of("~#!$") == std::string::npos;
}

void read_layers_of(const RegistryView& registry, const KeyPath& key, const std::string& user,
                    const LayerTable& table, std::vector<StoredLayer>* layers,
                    std::vector<std::string>* warnings) {
    std::vector<RegistryValue> values;
    read_values(registry, key, user, &values, warnings);
    for (const RegistryValue& value : values) {
        StoredLayer layer;
        layer.hive = key.hive;
        layer.user = user;
        layer.program = value.name;
        if (value_string(value, &layer.value, &layer.problem)) {
            expand_layer_string(layer.value, table, &layer);
        }
        layers->push_back(layer);
    }
}

} // namespace

void expand_layer_string(const std::string& value, const LayerTable& table, StoredLayer* layer) {
    size_t at = 0;
    while (at < value.size()) {
        size_t start = value.find_first_not_of(' ', at);
        if (start == std::string::npos) {
            break;
        }
        size_t end = value.find(' ', start);
        end = end == std::string::npos ? value.size() : end;
        std::string word = value.substr(start, end - start);
        at = end;
        if (layer->layers.empty() && is_marker_word(word)) {
            layer->markers.push_back(word);
            continue;
        }
        LayerExpansion expansion;
        expansion.name = word;
        if (const LayerDefinition* definition = table.find(word)) {
            expansion.found = true;
            expansion.database = definition->database;
            expansion.main = definition->main;
            expansion.shims = definition->shims;
        }
        layer->layers.push_back(expansion);
    }
}

std::vector<StoredLayer> read_stored_layers(const RegistryView& registry, const LayerTable& table,
                                            std::vector<std::string>* warnings) {
    std::vector<StoredLayer> layers;
    for (Hive hive : {Hive::Machine, Hive::Machine32}) {
        read_layers_of(registry, appcompat_key(hive, 0, "Layers"), std::string(), table, &layers,
                       warnings);
    }
    std::vector<UserHive> users = registry.users();
    for (size_t user = 0; user < users.size(); ++user) {
        read_layers_of(registry, appcompat_key(Hive::User, user, "Layers"), users[user].name, table,
                       &layers, warnings);
    }
    return layers;
}

std::vector<AssistantRecord> read_assistant_records(const RegistryView& registry,
                                                    std::vector<std::string>* warnings) {
    std::vector<AssistantRecord> records;
    std::vector<UserHive> users = registry.users();
    for (size_t user = 0; user < users.size(); ++user) {
        for (const char* list : ASSISTANT_LISTS) {
            KeyPath key =
                appcompat_key(Hive::User, user, std::string("Compatibility Assistant\\") + list);
            std::vector<RegistryValue> values;
            read_values(registry, key, users[user].name, &values, warnings);
            for (const RegistryValue& value : values) {
                AssistantRecord record;
                record.user = users[user].name;
                record.list = list;
                record.program = value.name;
                record.type = value.type;
                records.push_back(record);
            }
        }
    }
    return records;
}

} // namespace inventory
