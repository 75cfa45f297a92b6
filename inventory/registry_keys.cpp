// The keys the inventory reads, below each hive's root, and how they are shown.
#include "registry_keys.h"

namespace inventory {

KeyPath appcompat_key(Hive hive, size_t user, const std::string& below) {
    KeyPath key;
    key.hive = hive;
    key.user = user;
    const char* appcompat = hive == Hive::User ? USER_APPCOMPAT : MACHINE_APPCOMPAT;
    key.path.reserve(std::char_traits<char>::length(appcompat) + 1 + below.size());
    key.path = appcompat;
    if (!below.empty()) {
        key.path.append(1, '\\').append(below);
    }
    return key;
}

std::string key_display_name(const KeyPath& key, const std::string& user_name) {
    switch (key.hive) {
    case Hive::Machine:
        return "HKLM\\SOFTWARE\\" + key.path;
    case Hive::Machine32:
        return "HKLM\\SOFTWARE\\WOW6432Node\\" + key.path;
    case Hive::User:
        break;
    }
    return "HKU\\" + user_name + "\\" + key.path;
}

namespace {

void note(KeyStatus status, const KeyPath& key, const std::string& user_name,
          const std::vector<std::string>& problems, std::vector<std::string>* warnings) {
    if (status == KeyStatus::Unreadable) {
        warnings->push_back(key_display_name(key, user_name) + ": could not be read");
    }
    for (const std::string& problem : problems) {
        warnings->push_back(key_display_name(key, user_name) + ": " + problem);
    }
}

} // namespace

KeyStatus read_subkeys(const RegistryView& registry, const KeyPath& key,
                       const std::string& user_name, std::vector<std::string>* names,
                       std::vector<std::string>* warnings) {
    std::vector<std::string> problems;
    KeyStatus status = registry.subkeys(key, names, &problems);
    note(status, key, user_name, problems, warnings);
    return status;
}

KeyStatus read_values(const RegistryView& registry, const KeyPath& key,
                      const std::string& user_name, std::vector<RegistryValue>* values,
                      std::vector<std::string>* warnings) {
    std::vector<std::string> problems;
    KeyStatus status = registry.values(key, values, &problems);
    note(status, key, user_name, problems, warnings);
    return status;
}

} // namespace inventory
