// A registry and a file system held in memory, for the tests of the inventory core.
#pragma once

#include "file_view.h"
#include "registry_view.h"

#include <map>
#include <string>
#include <vector>

class MemoryRegistry : public inventory::RegistryView {
public:
    // Adds a user hive; returns its index for KeyPath::user.
    size_t add_user(const std::string& name);
    // Creates the key (and its parents) and adds the values.
    void set(inventory::Hive hive, size_t user, const std::string& path,
             const std::vector<inventory::RegistryValue>& values = {});
    // Makes a key unreadable.
    void deny(inventory::Hive hive, size_t user, const std::string& path);

    std::vector<inventory::UserHive> users() const override;
    inventory::KeyStatus subkeys(const inventory::KeyPath& key, std::vector<std::string>* names,
                                 std::vector<std::string>* problems = nullptr) const override;
    inventory::KeyStatus values(const inventory::KeyPath& key,
                                std::vector<inventory::RegistryValue>* values,
                                std::vector<std::string>* problems = nullptr) const override;

private:
    struct Key {
        std::vector<std::string> subkeys;
        std::vector<inventory::RegistryValue> values;
        bool denied = false;
    };
    const Key* find(const inventory::KeyPath& key) const;
    static std::string id(inventory::Hive hive, size_t user, const std::string& path);

    std::vector<inventory::UserHive> users_;
    std::map<std::string, Key> keys_;
};

class MemoryFiles : public inventory::FileView {
public:
    void add(const std::string& path, const std::vector<uint8_t>& bytes);
    // A path whose reads give status (OutsideRoot, Unreadable).
    void refuse(const std::string& path, inventory::FileStatus status);

    std::string windows_directory() const override;
    inventory::FileStatus
    list_directory(const std::string& path,
                   std::vector<inventory::DirectoryEntry>* entries) const override;
    inventory::FileStatus read_file(const std::string& path,
                                    std::vector<uint8_t>* bytes) const override;
    inventory::FileStatus file_status(const std::string& path) const override;

private:
    struct File {
        std::string path;
        std::vector<uint8_t> bytes;
        inventory::FileStatus status = inventory::FileStatus::Ok;
    };
    std::map<std::string, File> files_; // by path_key
};

// A registry value of a string, a DWORD, a QWORD, or raw bytes.
inventory::RegistryValue string_value(const std::string& name, const std::string& text);
inventory::RegistryValue dword_value(const std::string& name, uint32_t number);
inventory::RegistryValue qword_value(const std::string& name, uint64_t number);
inventory::RegistryValue raw_value(const std::string& name, uint32_t type,
                                   const std::vector<uint8_t>& data);
