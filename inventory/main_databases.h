// The main databases of AppPatch and AppPatch\AppPatch64, read once for their records and layers.
#pragma once

#include "file_view.h"

#include <cstdint>
#include <string>
#include <vector>

namespace inventory {

struct MainFile {
    std::string path;
    FileStatus status = FileStatus::Missing;
    std::vector<uint8_t> bytes; // when status is Ok
};

// Every main database (sysmain.sdb, msimain.sdb, drvmain.sdb) in AppPatch, then
// AppPatch\AppPatch64, that is there (missing ones, and all when there is no file system, are left
// out; one that cannot be read is kept with its status).
std::vector<MainFile> read_main_databases(const FileView& files);

// The system database programs are matched against: AppPatch\sysmain.sdb for 32-bit ones,
// AppPatch\AppPatch64\sysmain.sdb for 64-bit ones.
std::string system_database_path(const FileView& files, bool for_64bit);

// The two folders of custom databases: AppPatch\Custom and AppPatch\Custom\Custom64.
std::string custom_folder(const FileView& files);
std::string custom64_folder(const FileView& files);

} // namespace inventory
