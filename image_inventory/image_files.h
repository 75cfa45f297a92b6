// The file system of a Windows image below ROOT, read without regard to case.
//
// Symbolic links are followed only while they stay inside ROOT; another drive or a share is
// outside it. Never writes.
#pragma once

#include "file_view.h"

#include <map>
#include <string>
#include <vector>

namespace image_inventory {

// Files larger than this are not read (no database or hive of an image comes near it).
const uint64_t MAX_READ_BYTES = 1ull << 30;

class ImageFiles : public inventory::FileView {
public:
    // root: the host path of the mounted volume or collection; "" for no file system (every
    // question is answered Unavailable).
    explicit ImageFiles(const std::string& root);

    std::string windows_directory() const override;
    inventory::FileStatus
    list_directory(const std::string& path,
                   std::vector<inventory::DirectoryEntry>* entries) const override;
    inventory::FileStatus read_file(const std::string& path,
                                    std::vector<uint8_t>* bytes) const override;
    inventory::FileStatus file_status(const std::string& path) const override;

    // The host path of a Windows path, every link on the way followed inside ROOT; the
    // reason when there is none (Missing, OutsideRoot also for another drive or a share,
    // Unreadable for a loop of links).
    inventory::FileStatus resolve(const std::string& path, std::string* host) const;

private:
    // The entry of folder (a host path) whose name matches name, exactly or else without
    // regard to case; false when there is none.
    bool find_entry(const std::string& folder, const std::string& name, std::string* found) const;

    std::string root_;      // as given
    std::string real_root_; // with its own links resolved, to recognise links back into it
    // Entry names of each folder listed so far, by folded name.
    mutable std::map<std::string, std::multimap<std::string, std::string>> listings_;
};

} // namespace image_inventory
