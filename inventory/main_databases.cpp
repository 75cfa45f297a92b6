// The main databases of AppPatch and AppPatch\AppPatch64, read once for their records and layers.
#include "main_databases.h"

#include "windows_paths.h"

#include <utility>

namespace inventory {

namespace {

const char* const MAIN_DATABASE_FILES[] = {"sysmain.sdb", "msimain.sdb", "drvmain.sdb"};

std::string apppatch_folder(const FileView& files) {
    return join_path(files.windows_directory(), "AppPatch");
}

// Where a 64-bit system keeps its 64-bit main databases: inside AppPatch, not beside it.
std::string apppatch64_folder(const FileView& files) {
    return join_path(apppatch_folder(files), "AppPatch64");
}

} // namespace

std::string system_database_path(const FileView& files, bool for_64bit) {
    return join_path(for_64bit ? apppatch64_folder(files) : apppatch_folder(files),
                     MAIN_DATABASE_FILES[0]);
}

std::string custom_folder(const FileView& files) {
    return join_path(apppatch_folder(files), "Custom");
}

std::string custom64_folder(const FileView& files) {
    return join_path(custom_folder(files), "Custom64");
}

std::vector<MainFile> read_main_databases(const FileView& files) {
    std::vector<MainFile> mains;
    for (const std::string& folder : {apppatch_folder(files), apppatch64_folder(files)}) {
        for (const char* name : MAIN_DATABASE_FILES) {
            MainFile main;
            main.path = join_path(folder, name);
            main.status = files.read_file(main.path, &main.bytes);
            if (main.status != FileStatus::Missing && main.status != FileStatus::Unavailable) {
                mains.push_back(std::move(main));
            }
        }
    }
    return mains;
}

} // namespace inventory
