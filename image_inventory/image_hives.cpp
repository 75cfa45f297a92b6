// Finding and opening the hives of an image (or the hive files given alone).
#include "image_hives.h"

#include "registry_keys.h"
#include "registry_values.h"
#include "windows_paths.h"

#include <sys/stat.h>

#include <set>
#include <utility>

namespace image_inventory {

using inventory::FileStatus;

namespace {

// Opens one hive; false when it is there but cannot be read, or is read only in part (dirty
// without a log to replay, or damaged).
bool open_hive(const std::string& path, std::vector<std::string>* warnings,
               std::unique_ptr<HiveFile>* hive) {
    *hive = HiveFile::open(path, warnings);
    return *hive != nullptr && (*hive)->state() != inventory::HiveState::Dirty &&
           (*hive)->state() != inventory::HiveState::Damaged;
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

// A machine hive of ROOT, or the file given instead; empty when there is none.
std::string machine_hive(const CommandLine& line, const ImageFiles& files, const std::string& given,
                         const char* path, std::vector<std::string>* warnings) {
    if (!given.empty() || line.root.empty()) {
        return given;
    }
    std::string host;
    return image_hive(files, path, &host, warnings) == FileStatus::Ok ? host : "";
}

// A profile folder (a Windows path) and the SID of its user, where known.
struct Profile {
    std::string folder;
    std::string sid;
};

// %SystemDrive% (the image's drive) and %SystemRoot% or %windir% at the start of a profile
// path, as ProfileList stores them.
std::string expand_profile_path(const std::string& path, const std::string& windows_dir) {
    const std::string drive_variable = "%SystemDrive%";
    if (path.size() >= drive_variable.size() &&
        inventory::equal_ignoring_case(std::string_view(path).substr(0, drive_variable.size()),
                                       drive_variable)) {
        return windows_dir.substr(0, 2) + path.substr(drive_variable.size());
    }
    return inventory::expand_windows_variables(path, windows_dir);
}

// The profiles ProfileList names, then the system's and the services', then every folder of
// Users and of Documents and Settings: the same folder may come more than once. What keeps
// ProfileList from being read whole is a warning, since a profile it names elsewhere is then
// missed.
std::vector<Profile> profiles(const ImageFiles& files, const ImageRegistry& registry,
                              std::vector<std::string>* warnings) {
    std::vector<Profile> found;
    const std::string windows = files.windows_directory();
    inventory::KeyPath list;
    list.path = PROFILE_LIST;
    std::vector<std::string> sids;
    inventory::read_subkeys(registry, list, "", &sids, warnings);
    // A key listed twice (a crafted list) is one profile.
    std::set<std::string> seen;
    for (const std::string& sid : sids) {
        if (!seen.insert(inventory::fold_case(sid)).second) {
            continue;
        }
        inventory::KeyPath key;
        key.path = std::string(PROFILE_LIST) + "\\" + sid;
        std::vector<inventory::RegistryValue> values;
        inventory::read_values(registry, key, "", &values, warnings);
        const inventory::RegistryValue* path = inventory::find_value(values, "ProfileImagePath");
        std::string text;
        std::string problem;
        if (path != nullptr && inventory::value_string(*path, &text, &problem) && !text.empty()) {
            found.push_back({expand_profile_path(text, windows), sid});
        } else if (path != nullptr && !problem.empty()) {
            warnings->push_back(inventory::key_display_name(key, "") + ": " + problem);
        }
    }
    found.push_back({windows + "\\System32\\config\\systemprofile", "S-1-5-18"});
    found.push_back({windows + "\\ServiceProfiles\\LocalService", "S-1-5-19"});
    found.push_back({windows + "\\ServiceProfiles\\NetworkService", "S-1-5-20"});
    for (const char* folder : {USERS_FOLDER, OLD_USERS_FOLDER}) {
        std::vector<inventory::DirectoryEntry> entries;
        files.list_directory(folder, &entries);
        // A folder linked out of ROOT is listed as no folder; it is named all the same.
        for (const inventory::DirectoryEntry& entry : entries) {
            found.push_back({inventory::join_path(folder, entry.name), ""});
        }
    }
    return found;
}

// Each user hive of ROOT once: the first profile that leads to a file names it.
bool open_user_hives(const ImageFiles& files, ImageRegistry* registry,
                     std::vector<std::string>* warnings) {
    bool all_read = true;
    std::set<std::string> seen_paths;
    std::set<std::pair<dev_t, ino_t>> seen_files;
    for (const Profile& profile : profiles(files, *registry, warnings)) {
        std::string path = inventory::join_path(profile.folder, USER_HIVE);
        std::string host;
        // A user's folder linked out of ROOT is no folder of the image, but is named.
        FileStatus status = image_hive(files, path, &host, warnings);
        if (status != FileStatus::Ok) {
            all_read = all_read && status == FileStatus::Missing;
            continue;
        }
        struct stat info;
        bool known = !seen_paths.insert(inventory::path_key(host)).second;
        if (stat(host.c_str(), &info) == 0) {
            known = !seen_files.insert({info.st_dev, info.st_ino}).second || known;
        }
        if (known) {
            continue;
        }
        std::unique_ptr<HiveFile> hive;
        all_read = open_hive(host, warnings, &hive) && all_read;
        if (hive) {
            std::string name = profile.sid;
            if (name.empty()) {
                name = std::string(inventory::file_name_of(profile.folder));
            }
            registry->add_user(name, path, std::move(hive));
        }
    }
    return all_read;
}

} // namespace

bool open_hives(const CommandLine& line, const ImageFiles& files, ImageRegistry* registry,
                std::vector<std::string>* warnings) {
    bool all_read = true;
    std::string software = machine_hive(line, files, line.software, SOFTWARE_HIVE, warnings);
    if (software.empty() && !line.root.empty()) {
        warnings->push_back(line.root + ": no SOFTWARE hive at " + SOFTWARE_HIVE);
        all_read = false;
    }
    if (!software.empty()) {
        std::unique_ptr<HiveFile> hive;
        all_read = open_hive(software, warnings, &hive) && all_read;
        registry->set_software(software, std::move(hive));
    }
    // The SYSTEM hive gives only the computer's name: without one the name is unknown.
    std::string system = machine_hive(line, files, line.system, SYSTEM_HIVE, warnings);
    if (!system.empty()) {
        std::unique_ptr<HiveFile> hive;
        all_read = open_hive(system, warnings, &hive) && all_read;
        registry->set_system(system, std::move(hive));
    }
    if (!line.ntusers.empty()) {
        for (const std::string& path : line.ntusers) {
            std::unique_ptr<HiveFile> hive;
            all_read = open_hive(path, warnings, &hive) && all_read;
            if (hive) {
                registry->add_user(path, path, std::move(hive));
            }
        }
        return all_read;
    }
    if (line.root.empty()) {
        return all_read;
    }
    return open_user_hives(files, registry, warnings) && all_read;
}

} // namespace image_inventory
