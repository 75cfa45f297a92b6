// The keys the inventory reads, below each hive's root, and how they are shown.
#include "registry_keys.h"

namespace inventory {

KeyPath appcompat_key(Hive hive, size_t user, const std::string& below) {
    KeyPath key;
    key.hive = hive;
    key.user = user;
    key.path = std::string(hive == Hive::User ? USER_APPCOMPAT : MACHINE_APPCOMPAT);
    if (!below.empty()) {
        key.path += "\\" + below;
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

} // namespace inventory
