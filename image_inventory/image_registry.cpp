// The registry of a Windows image: its SOFTWARE hive and its users' NTUSER.DAT hives.
#include "image_registry.h"

#include "registry_values.h"

#include <cstdio>
#include <utility>

namespace image_inventory {

using inventory::Hive;
using inventory::KeyStatus;

namespace {

// Where the 32-bit view of SOFTWARE lies in the hive file.
const char* const WOW64_NODE = "WOW6432Node";

// The control set in use, then the computer's name in it, in the SYSTEM hive.
const char* const SELECT_KEY = "Select";
const char* const COMPUTER_NAME_KEY = "Control\\ComputerName\\ComputerName";

} // namespace

void ImageRegistry::record(const char* role, const std::string& user, const std::string& source,
                           const HiveFile* hive) {
    if (hive != nullptr) {
        records_.push_back({role, user, source, hive->state(), hive->logs()});
    }
}

void ImageRegistry::set_software(const std::string& source, std::unique_ptr<HiveFile> hive) {
    record("software", "", source, hive.get());
    software_ = std::move(hive);
}

void ImageRegistry::set_system(const std::string& source, std::unique_ptr<HiveFile> hive) {
    record("system", "", source, hive.get());
    system_ = std::move(hive);
}

void ImageRegistry::add_user(const std::string& name, const std::string& source,
                             std::unique_ptr<HiveFile> hive) {
    record("user", name, source, hive.get());
    users_.push_back({name, source});
    user_hives_.push_back(std::move(hive));
}

std::string ImageRegistry::host_name() const {
    if (!system_) {
        return "";
    }
    // What keeps the name from being read leaves it unknown (null in the output).
    std::vector<std::string> problems;
    std::vector<inventory::RegistryValue> values;
    system_->values(SELECT_KEY, &values, &problems);
    const inventory::RegistryValue* current = inventory::find_value(values, "Current");
    uint32_t set = 0;
    std::string problem;
    if (current == nullptr || !inventory::value_dword(*current, &set, &problem) || set > 999) {
        return "";
    }
    char control_set[16];
    std::snprintf(control_set, sizeof control_set, "ControlSet%03u", static_cast<unsigned>(set));
    values.clear();
    system_->values(std::string(control_set) + "\\" + COMPUTER_NAME_KEY, &values, &problems);
    const inventory::RegistryValue* name = inventory::find_value(values, "ComputerName");
    std::string text;
    if (name == nullptr || !inventory::value_string(*name, &text, &problem)) {
        return "";
    }
    return text;
}

std::vector<inventory::UserHive> ImageRegistry::users() const {
    return users_;
}

const HiveFile* ImageRegistry::locate(const inventory::KeyPath& key, std::string* path) const {
    switch (key.hive) {
    case Hive::Machine:
        *path = key.path;
        return software_.get();
    case Hive::Machine32:
        *path = std::string(WOW64_NODE) + "\\" + key.path;
        return software_.get();
    case Hive::User:
        break;
    }
    *path = key.path;
    return key.user < user_hives_.size() ? user_hives_[key.user].get() : nullptr;
}

KeyStatus ImageRegistry::subkeys(const inventory::KeyPath& key, std::vector<std::string>* names,
                                 std::vector<std::string>* problems) const {
    std::string path;
    const HiveFile* hive = locate(key, &path);
    std::vector<std::string> ignored;
    return hive != nullptr ? hive->subkeys(path, names, problems ? problems : &ignored)
                           : KeyStatus::Missing;
}

KeyStatus ImageRegistry::values(const inventory::KeyPath& key,
                                std::vector<inventory::RegistryValue>* values,
                                std::vector<std::string>* problems) const {
    std::string path;
    const HiveFile* hive = locate(key, &path);
    std::vector<std::string> ignored;
    return hive != nullptr ? hive->values(path, values, problems ? problems : &ignored)
                           : KeyStatus::Missing;
}

} // namespace image_inventory
