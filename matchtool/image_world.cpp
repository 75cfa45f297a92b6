// Looks files and registry keys of an offline image up for the evaluator.
#include "image_world.h"

#include "windows_paths.h"

#include "sdb_text.h"

namespace {

// The roots of HKLM\SOFTWARE a database may spell.
const char* const SoftwareRoots[] = {"HKLM\\SOFTWARE\\", "HKEY_LOCAL_MACHINE\\SOFTWARE\\"};
const char* const Wow64Node = "WOW6432NODE\\";

bool StartsWithFolded(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           inventory::equal_ignoring_case(std::string_view(text).substr(0, prefix.size()), prefix);
}

} // namespace

FileState ImageMatchWorld::Locate(const std::u16string& path, std::string* native) const {
    switch (files_.resolve(sdb::to_utf8(path), native)) {
    case inventory::FileStatus::Ok:
        return FileState::Present;
    case inventory::FileStatus::Missing:
        return FileState::Missing;
    default:
        break;
    }
    return FileState::Unreadable;
}

Knowledge ImageMatchWorld::InView(inventory::Hive hive, const std::string& path,
                                  const RegistryQuery& query) {
    std::vector<inventory::RegistryValue> values;
    inventory::KeyStatus status;
    {
        std::lock_guard<std::mutex> hold(*lock_);
        status = registry_->values({hive, 0, path}, &values);
    }
    if (status != inventory::KeyStatus::Present)
        return status == inventory::KeyStatus::Missing ? Knowledge::No : Knowledge::Unknown;
    if (!query.hasValueName)
        return Knowledge::Yes;
    std::string name = sdb::to_utf8(query.valueName);
    for (const inventory::RegistryValue& value : values) {
        if (inventory::equal_ignoring_case(value.name, name))
            return Knowledge::Yes;
    }
    return Knowledge::No;
}

Knowledge ImageMatchWorld::RegistryHolds(const RegistryQuery& query) {
    if (registry_ == nullptr || query.hasData)
        return Knowledge::Unknown;
    std::string key = sdb::to_utf8(query.key);
    std::string path;
    for (const char* root : SoftwareRoots) {
        if (StartsWithFolded(key, root))
            path = key.substr(std::string(root).size());
    }
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    if (path.empty())
        return Knowledge::Unknown;
    if (StartsWithFolded(path, Wow64Node))
        return wow64_ ? InView(inventory::Hive::Machine32,
                               path.substr(std::string(Wow64Node).size()), query)
                      : Knowledge::Unknown;
    Knowledge native = InView(inventory::Hive::Machine, path, query);
    if (!wow64_)
        return native;
    return InView(inventory::Hive::Machine32, path, query) == native ? native : Knowledge::Unknown;
}
