// Walks an image's folders for quillet-match --image.
#include "image_walk.h"

#include "image_files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

struct Folder {
    std::string host, windows;
};

std::string RealPath(const std::string& path, int* error) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        *error = errno;
        return std::string();
    }
    std::string text(real);
    std::free(real);
    return text;
}

bool Inside(const std::string& path, const std::string& realRoot) {
    return path == realRoot ||
           (path.size() > realRoot.size() && path.compare(0, realRoot.size(), realRoot) == 0 &&
            (realRoot.back() == '/' || path[realRoot.size()] == '/'));
}

class Walker {
public:
    Walker(const std::string& root, std::vector<WalkedFile>* files,
           std::vector<std::string>* warnings)
        : files_(files), warnings_(warnings) {
        int error = 0;
        realRoot_ = RealPath(root, &error);
        if (realRoot_.empty())
            realRoot_ = root;
    }

    void Walk(Folder start) {
        std::vector<Folder> pending{std::move(start)};
        while (!pending.empty()) {
            Folder folder = std::move(pending.back());
            pending.pop_back();
            std::vector<Folder> inner = List(folder);
            // Reversed onto the stack, so that folders are walked in name order.
            pending.insert(pending.end(), inner.rbegin(), inner.rend());
        }
    }

    // A link met where a file or folder was asked for: a warning unless it stays inside.
    void Link(const std::string& host, const std::string& windows) {
        int error = 0;
        std::string target = RealPath(host, &error);
        if (target.empty())
            warnings_->push_back(windows + ": a link " +
                                 (error == ELOOP ? "in a loop" : "to nothing") + "; not followed");
        else if (!Inside(target, realRoot_))
            warnings_->push_back(windows + ": a link out of the image; not followed");
    }

    void File(const std::string& host, const std::string& windows) {
        files_->push_back({host, windows});
    }

private:
    std::vector<Folder> List(const Folder& folder) {
        std::vector<Folder> inner;
        DIR* dir = opendir(folder.host.c_str());
        if (dir == nullptr) {
            warnings_->push_back(folder.windows + ": cannot be listed: " + std::strerror(errno));
            return inner;
        }
        struct Name {
            std::string name;
            unsigned char type;
        };
        std::vector<Name> names;
        while (dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.push_back({entry->d_name, entry->d_type});
        }
        closedir(dir);
        std::sort(names.begin(), names.end(),
                  [](const Name& a, const Name& b) { return a.name < b.name; });
        for (Name& name : names) {
            std::string host = folder.host + "/" + name.name;
            std::string windows =
                folder.windows + (folder.windows.back() == '\\' ? "" : "\\") + name.name;
            unsigned char type = name.type;
            if (type == DT_UNKNOWN) {
                struct stat status;
                if (lstat(host.c_str(), &status) != 0) {
                    warnings_->push_back(windows + ": cannot be read: " + std::strerror(errno));
                    continue;
                }
                type = S_ISDIR(status.st_mode)   ? DT_DIR
                       : S_ISLNK(status.st_mode) ? DT_LNK
                       : S_ISREG(status.st_mode) ? DT_REG
                                                 : DT_UNKNOWN;
            }
            if (type == DT_DIR)
                inner.push_back({std::move(host), std::move(windows)});
            else if (type == DT_LNK)
                Link(host, windows);
            else if (type == DT_REG)
                File(host, windows);
        }
        return inner;
    }

    std::vector<WalkedFile>* files_;
    std::vector<std::string>* warnings_;
    std::string realRoot_;
};

// "Program Files/App" or "C:\Program Files\App" as the Windows path it names.
std::string WindowsPathOf(const std::string& start) {
    std::string path = start.size() >= 2 && start[1] == ':' ? start : "C:\\" + start;
    std::replace(path.begin(), path.end(), '/', '\\');
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

} // namespace

std::vector<WalkedFile> WalkImage(const std::string& root, const std::vector<std::string>& starts,
                                  std::vector<std::string>* warnings) {
    std::vector<WalkedFile> files;
    Walker walker(root, &files, warnings);
    if (starts.empty()) {
        walker.Walk({root, "C:"});
        return files;
    }
    image_inventory::ImageFiles image(root);
    for (const std::string& start : starts) {
        std::string windows = WindowsPathOf(start);
        std::string host;
        inventory::FileStatus status = image.resolve(windows, &host);
        if (status != inventory::FileStatus::Ok) {
            warnings->push_back(windows + ": " + inventory::file_status_text(status));
            continue;
        }
        struct stat info;
        if (stat(host.c_str(), &info) != 0)
            warnings->push_back(windows + ": cannot be read: " + std::strerror(errno));
        else if (S_ISDIR(info.st_mode))
            walker.Walk({host, windows});
        else if (S_ISREG(info.st_mode))
            walker.File(host, windows);
    }
    return files;
}
