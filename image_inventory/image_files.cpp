// The file system of a Windows image below ROOT, read without regard to case.
//
// Symbolic links are followed only while they stay inside ROOT; another drive or a share is
// outside it. Never writes.
#include "image_files.h"

#include "windows_paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <deque>

namespace image_inventory {

namespace {

using inventory::FileStatus;

// Links followed in one path before it counts as a loop.
const int MAX_LINKS = 40;

std::string host_join(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The parts of a link's target, in order.
std::deque<std::string> link_parts(const std::string& target) {
    std::deque<std::string> parts;
    size_t start = 0;
    while (start <= target.size()) {
        size_t end = target.find('/', start);
        end = end == std::string::npos ? target.size() : end;
        std::string part = target.substr(start, end - start);
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    return parts;
}

// False for a path on a share or on a drive other than the Windows folder's: not the image's
// volume, though ROOT may hold a folder of that name.
bool on_image_volume(std::string_view path, char windows_drive) {
    auto separator = [](char c) { return c == '\\' || c == '/'; };
    // "\\?\C:\" and "\\.\C:\" name the drive; what else starts with two separators is a
    // share ("\\server", "\\?\UNC\server" in any case) or a device.
    std::string_view rest = inventory::drive_path(path);
    if (rest.size() >= 2 && separator(rest[0]) && separator(rest[1])) {
        return false;
    }
    if (rest.size() >= 2 && rest[1] == ':') {
        return inventory::equal_ignoring_case(rest.substr(0, 1),
                                              std::string_view(&windows_drive, 1));
    }
    return true;
}

bool read_link(const std::string& path, std::string* target) {
    std::vector<char> buffer(PATH_MAX + 1);
    ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    if (length < 0) {
        return false;
    }
    target->assign(buffer.data(), static_cast<size_t>(length));
    return true;
}

} // namespace

ImageFiles::ImageFiles(const std::string& root) : root_(root) {
    if (!root.empty()) {
        char* real = realpath(root.c_str(), nullptr);
        real_root_ = real != nullptr ? real : root;
        std::free(real);
    }
}

std::string ImageFiles::windows_directory() const {
    return "C:\\Windows";
}

bool ImageFiles::find_entry(const std::string& folder, const std::string& name,
                            std::string* found) const {
    auto listed = listings_.find(folder);
    if (listed == listings_.end()) {
        std::multimap<std::string, std::string> names;
        if (DIR* dir = opendir(folder.c_str())) {
            while (dirent* entry = readdir(dir)) {
                std::string entry_name = entry->d_name;
                if (entry_name != "." && entry_name != "..") {
                    names.emplace(inventory::fold_case(entry_name), entry_name);
                }
            }
            closedir(dir);
        }
        listed = listings_.emplace(folder, names).first;
    }
    auto range = listed->second.equal_range(inventory::fold_case(name));
    if (range.first == range.second) {
        return false;
    }
    *found = range.first->second;
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == name) {
            *found = name;
        }
    }
    return true;
}

FileStatus ImageFiles::resolve(const std::string& path, std::string* host) const {
    if (root_.empty()) {
        return FileStatus::Unavailable;
    }
    if (!on_image_volume(path, windows_directory()[0])) {
        return FileStatus::OutsideRoot;
    }
    std::vector<std::string> parts = inventory::path_components(path);
    std::deque<std::string> pending(parts.begin(), parts.end());
    std::vector<std::string> at; // resolved names below ROOT, none of them a link
    int links = 0;
    while (!pending.empty()) {
        std::string name = pending.front();
        pending.pop_front();
        if (name == "..") {
            if (at.empty()) {
                return FileStatus::OutsideRoot;
            }
            at.pop_back();
            continue;
        }
        std::string folder = root_;
        for (const std::string& part : at) {
            folder = host_join(folder, part);
        }
        std::string entry;
        if (!find_entry(folder, name, &entry)) {
            return FileStatus::Missing;
        }
        std::string full = host_join(folder, entry);
        struct stat info;
        if (lstat(full.c_str(), &info) != 0) {
            return FileStatus::Missing;
        }
        if (!S_ISLNK(info.st_mode)) {
            at.push_back(entry);
            continue;
        }
        std::string target;
        if (++links > MAX_LINKS || !read_link(full, &target)) {
            return FileStatus::Unreadable;
        }
        if (!target.empty() && target.front() == '/') {
            // An absolute link stays inside only when it leads back into ROOT itself.
            std::string inside = real_root_ + "/";
            if (target.compare(0, inside.size(), inside) != 0 && target != real_root_) {
                return FileStatus::OutsideRoot;
            }
            at.clear();
            target = target.size() > inside.size() ? target.substr(inside.size()) : "";
        }
        std::deque<std::string> more = link_parts(target);
        pending.insert(pending.begin(), more.begin(), more.end());
    }
    *host = root_;
    for (const std::string& part : at) {
        *host = host_join(*host, part);
    }
    return FileStatus::Ok;
}

FileStatus ImageFiles::list_directory(const std::string& path,
                                      std::vector<inventory::DirectoryEntry>* entries) const {
    std::string host;
    FileStatus status = resolve(path, &host);
    if (status != FileStatus::Ok) {
        return status;
    }
    struct stat info;
    if (stat(host.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return FileStatus::NotAFile;
    }
    DIR* dir = opendir(host.c_str());
    if (dir == nullptr) {
        return FileStatus::Unreadable;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    closedir(dir);
    // The file system's order differs between copies of one image; the report must not.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        inventory::DirectoryEntry entry;
        entry.name = name;
        std::string target;
        entry.directory = resolve(inventory::join_path(path, name), &target) == FileStatus::Ok &&
                          stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        entries->push_back(entry);
    }
    return FileStatus::Ok;
}

FileStatus ImageFiles::read_file(const std::string& path, std::vector<uint8_t>* bytes) const {
    std::string host;
    FileStatus status = resolve(path, &host);
    if (status != FileStatus::Ok) {
        return status;
    }
    // The path holds no link any more; O_NOFOLLOW keeps it so if one appears meanwhile.
    // O_NONBLOCK: opening a FIFO of the image would otherwise wait for a writer forever.
    int fd = ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return FileStatus::Unreadable;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return FileStatus::NotAFile;
    }
    if (static_cast<uint64_t>(info.st_size) > MAX_READ_BYTES) {
        close(fd);
        return FileStatus::Unreadable;
    }
    bytes->resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes->size()) {
        ssize_t got = ::read(fd, bytes->data() + done, bytes->size() - done);
        if (got < 0) {
            close(fd);
            return FileStatus::Unreadable;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    close(fd);
    bytes->resize(done);
    return FileStatus::Ok;
}

FileStatus ImageFiles::file_status(const std::string& path) const {
    std::string host;
    FileStatus status = resolve(path, &host);
    if (status != FileStatus::Ok) {
        return status;
    }
    struct stat info;
    if (stat(host.c_str(), &info) != 0) {
        return FileStatus::Unreadable;
    }
    return S_ISREG(info.st_mode) ? FileStatus::Ok : FileStatus::NotAFile;
}

} // namespace image_inventory
