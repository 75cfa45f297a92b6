// One registry hive file opened read-only through libhivex, navigated by key path.
#pragma once

#include "inventory_records.h"
#include "registry_view.h"

#include <memory>
#include <string>
#include <vector>

struct hive_h;

namespace image_inventory {

class HiveFile {
public:
    // Opens path for reading. A hive that is dirty or damaged is opened as far as it goes,
    // with lines naming it in *warnings; nullptr when nothing of it can be read. A damaged
    // hive is salvaged in memory: its file is never changed.
    static std::unique_ptr<HiveFile> open(const std::string& path,
                                          std::vector<std::string>* warnings);
    ~HiveFile();
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    // How it was read: clean, replayed from its logs (named in logs()), dirty or damaged.
    inventory::HiveState state() const { return state_; }
    const std::vector<std::string>& logs() const { return logs_; }

    // The subkeys and the values of the key at path below the root ("A\B"; "" is the root),
    // names matched without regard to case.
    inventory::KeyStatus subkeys(const std::string& path, std::vector<std::string>* names) const;
    inventory::KeyStatus values(const std::string& path,
                                std::vector<inventory::RegistryValue>* values) const;

private:
    HiveFile(hive_h* hive, int memory_file, inventory::HiveState state);
    inventory::KeyStatus find(const std::string& path, size_t* node) const;

    hive_h* hive_;
    int memory_file_; // the salvaged or replayed copy libhivex reads, or -1
    inventory::HiveState state_;
    std::vector<std::string> logs_;
};

} // namespace image_inventory
