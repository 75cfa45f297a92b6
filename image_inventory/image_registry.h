// The registry of a Windows image: its SOFTWARE hive and its users' NTUSER.DAT hives.
#pragma once

#include "hive_file.h"
#include "registry_view.h"

#include <memory>
#include <string>
#include <vector>

namespace image_inventory {

class ImageRegistry : public inventory::RegistryView {
public:
    // The SOFTWARE hive, read from source; without one the machine keys are all missing.
    void set_software(const std::string& source, std::unique_ptr<HiveFile> hive);
    // The SYSTEM hive, read for the computer's name only.
    void set_system(const std::string& source, std::unique_ptr<HiveFile> hive);
    // A user's hive, named by its SID where known, else by the profile folder (or the file
    // for a hive given alone).
    void add_user(const std::string& name, const std::string& source,
                  std::unique_ptr<HiveFile> hive);

    // The computer's name from the SYSTEM hive; empty when there is none.
    std::string host_name() const;
    // How each hive was read, SOFTWARE and SYSTEM first.
    const std::vector<inventory::HiveRecord>& hive_records() const { return records_; }

    std::vector<inventory::UserHive> users() const override;
    inventory::KeyStatus subkeys(const inventory::KeyPath& key, std::vector<std::string>* names,
                                 std::vector<std::string>* problems = nullptr) const override;
    inventory::KeyStatus values(const inventory::KeyPath& key,
                                std::vector<inventory::RegistryValue>* values,
                                std::vector<std::string>* problems = nullptr) const override;

private:
    // The hive a key lies in and its path there; nullptr when there is none.
    const HiveFile* locate(const inventory::KeyPath& key, std::string* path) const;

    void record(const char* role, const std::string& user, const std::string& source,
                const HiveFile* hive);

    std::unique_ptr<HiveFile> software_;
    std::unique_ptr<HiveFile> system_;
    std::vector<inventory::HiveRecord> records_;
    std::vector<inventory::UserHive> users_;
    std::vector<std::unique_ptr<HiveFile>> user_hives_;
};

} // namespace image_inventory
