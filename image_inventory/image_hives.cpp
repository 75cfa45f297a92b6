// Finding and opening the hives of an image (or the hive files given alone).
#include "image_hives.h"

#include "windows_paths.h"

namespace image_inventory {

using inventory::FileStatus;

namespace {

// Opens one hive; false when it is there but cannot be read.
bool open_hive(const std::string& path, std::vector<std::string>* warnings,
               std::unique_ptr<HiveFile>* hive) {
    *hive = HiveFile::open(path, warnings);
    return *hive != nullptr;
}

// The host path of a hive inside the image: Ok, or the reason there is none, with a warning
// unless it is simply absent.
FileStatus image_hive(const ImageFiles& files, const std::string& path, std::string* host,
                      std::vector<std::string>* warnings) {
    FileStatus status = files.resolve(path, host);
    if (status == FileStatus::Ok) {
        status = files.file_status(path);
    }
    if (status != FileStatus::Ok && status != FileStatus::Missing) {
        warnings->push_back(path + ": " + inventory::file_status_text(status));
    }
    return status;
}

} // namespace

bool open_hives(const CommandLine& line, const ImageFiles& files, ImageRegistry* registry,
                std::vector<std::string>* warnings) {
    bool all_read = true;
    std::string software = line.software;
    if (software.empty() && !line.root.empty() &&
        image_hive(files, SOFTWARE_HIVE, &software, warnings) != FileStatus::Ok) {
        software.clear();
        warnings->push_back(line.root + ": no SOFTWARE hive at " + SOFTWARE_HIVE);
        all_read = false;
    }
    if (!software.empty()) {
        std::unique_ptr<HiveFile> hive;
        all_read = open_hive(software, warnings, &hive) && all_read;
        registry->set_software(std::move(hive));
    }
    if (!line.ntusers.empty()) {
        for (const std::string& path : line.ntusers) {
            std::unique_ptr<HiveFile> hive;
            if (open_hive(path, warnings, &hive)) {
                registry->add_user(path, path, std::move(hive));
            } else {
                all_read = false;
            }
        }
        return all_read;
    }
    if (line.root.empty()) {
        return all_read;
    }
    std::vector<inventory::DirectoryEntry> users;
    files.list_directory(USERS_FOLDER, &users);
    for (const inventory::DirectoryEntry& user : users) {
        std::string host;
        std::string path =
            inventory::join_path(inventory::join_path(USERS_FOLDER, user.name), USER_HIVE);
        // A user's folder linked out of ROOT is no folder of the image, but is named.
        FileStatus status = image_hive(files, path, &host, warnings);
        if (status != FileStatus::Ok) {
            all_read = all_read && status == FileStatus::Missing;
            continue;
        }
        std::unique_ptr<HiveFile> hive;
        if (open_hive(host, warnings, &hive)) {
            registry->add_user(user.name, path, std::move(hive));
        } else {
            all_read = false;
        }
    }
    return all_read;
}

} // namespace image_inventory
