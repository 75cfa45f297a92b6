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
    // Opens path for reading. A dirty hive is brought up to date from the transaction logs
    // beside it, in a copy in memory; one without logs that can be replayed, or a damaged
    // one, is opened as far as it goes. Each gives lines naming it in *warnings; nullptr when
    // nothing of it can be read. A damaged hive is salvaged in memory: no file is changed.
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
    // The hive replayed from its logs; nullptr, with the reason in *warnings, when no log
    // could be replayed.
    static std::unique_ptr<HiveFile> open_replayed(const std::string& path,
                                                   std::vector<std::string>* warnings);
    inventory::KeyStatus find(const std::string& path, size_t* node) const;

    hive_h* hive_;
    int memory_file_; // the salvaged or replayed copy libhivex reads, or -1
    inventory::HiveState state_;
    std::vector<std::string> logs_;
};

} // namespace image_inventory
