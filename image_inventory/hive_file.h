// One registry hive file opened read-only through libhivex, navigated by key path.
//
// Keys are reached from their parent, whose subkeys are listed once and kept by name.
#pragma once

#include "inventory_records.h"
#include "registry_view.h"

#include <memory>
#include <cstdint>
#include <string>
#include <unordered_map>
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
    // names matched without regard to case. What libhivex refuses is read from the hive's
    // cells where it can be (a key of more values than libhivex's limit, a name that is not
    // valid UTF-16, read with U+FFFD in place of the bad unit), and named in *problems either
    // way.
    inventory::KeyStatus subkeys(const std::string& path, std::vector<std::string>* names,
                                 std::vector<std::string>* problems) const;
    inventory::KeyStatus values(const std::string& path,
                                std::vector<inventory::RegistryValue>* values,
                                std::vector<std::string>* problems) const;

private:
    struct Child {
        std::string name;
        size_t node;
    };
    struct Listing {
        bool read = false; // false when libhivex could not list the key at all
        std::vector<Child> children;
        std::vector<std::string> problems;
    };

    HiveFile(hive_h* hive, int memory_file, const uint8_t* bytes, size_t size,
             inventory::HiveState state);
    // The hive replayed from its logs; nullptr, with the reason in *warnings, when no log
    // could be replayed.
    static std::unique_ptr<HiveFile> open_replayed(const std::string& path,
                                                   std::vector<std::string>* warnings);
    inventory::KeyStatus find(const std::string& path, size_t* node) const;
    // The subkeys of node, listed at the first question and kept.
    const Listing& listing(size_t node) const;
    // The name of a key or value cell that libhivex could not give.
    std::string raw_name(size_t cell, bool key, std::vector<std::string>* problems,
                         const char* what) const;

    hive_h* hive_;
    int memory_file_;      // the salvaged or replayed copy libhivex reads, or -1
    const uint8_t* bytes_; // the hive's bytes, mapped read-only
    size_t size_;
    inventory::HiveState state_;
    std::vector<std::string> logs_;
    mutable std::unordered_map<size_t, Listing> listings_; // by node
    // Each listed subkey by its parent node and its folded name ("<node>\<name>").
    mutable std::unordered_map<std::string, size_t> children_;
};

} // namespace image_inventory
