// A registry and a file system held in memory, for the tests of the inventory core.
#include "memory_views.h"

#include "test_hive.h"
#include "windows_paths.h"

using inventory::FileStatus;
using inventory::KeyStatus;

size_t MemoryRegistry::add_user(const std::string& name) {
    users_.push_back({name, "memory"});
    return users_.size() - 1;
}

std::string MemoryRegistry::id(inventory::Hive hive, size_t user, const std::string& path) {
    return std::to_string(static_cast<int>(hive)) + ":" + std::to_string(user) + ":" +
           inventory::fold_case(path);
}

void MemoryRegistry::set(inventory::Hive hive, size_t user, const std::string& path,
                         const std::vector<inventory::RegistryValue>& values) {
    std::string parent;
    size_t start = 0;
    while (true) {
        size_t end = path.find('\\', start);
        std::string name = path.substr(start, end == std::string::npos ? end : end - start);
        std::string here = parent.empty() ? name : parent + "\\" + name;
        Key& up = keys_[id(hive, user, parent)];
        bool known = false;
        for (const std::string& subkey : up.subkeys) {
            known = known || inventory::equal_ignoring_case(subkey, name);
        }
        if (!known) {
            up.subkeys.push_back(name);
        }
        keys_[id(hive, user, here)];
        parent = here;
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    Key& key = keys_[id(hive, user, path)];
    key.values.insert(key.values.end(), values.begin(), values.end());
}

void MemoryRegistry::deny(inventory::Hive hive, size_t user, const std::string& path) {
    set(hive, user, path);
    keys_[id(hive, user, path)].denied = true;
}

std::vector<inventory::UserHive> MemoryRegistry::users() const {
    return users_;
}

const MemoryRegistry::Key* MemoryRegistry::find(const inventory::KeyPath& key) const {
    auto found = keys_.find(id(key.hive, key.user, key.path));
    return found != keys_.end() ? &found->second : nullptr;
}

KeyStatus MemoryRegistry::subkeys(const inventory::KeyPath& key, std::vector<std::string>* names,
                                  std::vector<std::string>*) const {
    const Key* found = find(key);
    if (found == nullptr) {
        return KeyStatus::Missing;
    }
    if (found->denied) {
        return KeyStatus::Unreadable;
    }
    *names = found->subkeys;
    return KeyStatus::Present;
}

KeyStatus MemoryRegistry::values(const inventory::KeyPath& key,
                                 std::vector<inventory::RegistryValue>* values,
                                 std::vector<std::string>*) const {
    const Key* found = find(key);
    if (found == nullptr) {
        return KeyStatus::Missing;
    }
    if (found->denied) {
        return KeyStatus::Unreadable;
    }
    *values = found->values;
    return KeyStatus::Present;
}

void MemoryFiles::add(const std::string& path, const std::vector<uint8_t>& bytes) {
    files_[inventory::path_key(path)] = {path, bytes, FileStatus::Ok};
}

void MemoryFiles::refuse(const std::string& path, FileStatus status) {
    files_[inventory::path_key(path)] = {path, {}, status};
}

std::string MemoryFiles::windows_directory() const {
    return "C:\\Windows";
}

FileStatus MemoryFiles::list_directory(const std::string& path,
                                       std::vector<inventory::DirectoryEntry>* entries) const {
    std::string prefix = inventory::path_key(path) + "\\";
    bool any = false;
    for (const auto& file : files_) {
        if (file.first.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        any = true;
        // The tests give clean paths, whose key is as long as the path.
        std::string rest = file.second.path.substr(prefix.size());
        size_t cut = rest.find('\\');
        inventory::DirectoryEntry entry{rest.substr(0, cut), cut != std::string::npos};
        bool listed = false;
        for (const inventory::DirectoryEntry& known : *entries) {
            listed = listed || known.name == entry.name;
        }
        if (!listed) {
            entries->push_back(entry);
        }
    }
    return any ? FileStatus::Ok : FileStatus::Missing;
}

FileStatus MemoryFiles::read_file(const std::string& path, std::vector<uint8_t>* bytes) const {
    auto found = files_.find(inventory::path_key(path));
    if (found == files_.end()) {
        return FileStatus::Missing;
    }
    *bytes = found->second.bytes;
    return found->second.status;
}

FileStatus MemoryFiles::file_status(const std::string& path) const {
    auto found = files_.find(inventory::path_key(path));
    return found == files_.end() ? FileStatus::Missing : found->second.status;
}

inventory::RegistryValue string_value(const std::string& name, const std::string& text) {
    return {name, inventory::VALUE_STRING, utf16(text)};
}

inventory::RegistryValue dword_value(const std::string& name, uint32_t number) {
    return {name, inventory::VALUE_DWORD, dword_bytes(number)};
}

inventory::RegistryValue qword_value(const std::string& name, uint64_t number) {
    return {name, inventory::VALUE_QWORD, qword_bytes(number)};
}

inventory::RegistryValue raw_value(const std::string& name, uint32_t type,
                                   const std::vector<uint8_t>& data) {
    return {name, type, data};
}
