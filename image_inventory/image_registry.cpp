// The registry of a Windows image: its SOFTWARE hive and its users' NTUSER.DAT hives.
#include "image_registry.h"

#include <utility>

namespace image_inventory {

using inventory::Hive;
using inventory::KeyStatus;

namespace {

// Where the 32-bit view of SOFTWARE lies in the hive file.
const char* const WOW64_NODE = "WOW6432Node";

} // namespace

void ImageRegistry::set_software(std::unique_ptr<HiveFile> hive) {
    software_ = std::move(hive);
}

void ImageRegistry::add_user(const std::string& name, const std::string& source,
                             std::unique_ptr<HiveFile> hive) {
    users_.push_back({name, source});
    user_hives_.push_back(std::move(hive));
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
