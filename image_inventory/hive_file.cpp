// One registry hive file opened read-only through libhivex, navigated by key path.
#include "hive_file.h"

#include "hive_cells.h"
#include "image_files.h"
#include "regf_header.h"
#include "regf_log.h"
#include "windows_paths.h"

#include <dirent.h>
#include <hivex.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace image_inventory {

namespace {

using inventory::KeyStatus;

// The file's first limit bytes; false, with errno, when it cannot be opened.
bool read_whole(const std::string& path, size_t limit, std::vector<uint8_t>* bytes) {
    bytes->clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    uint8_t buffer[65536];
    size_t got = 0;
    while (bytes->size() < limit && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes->insert(bytes->end(), buffer, buffer + got);
    }
    std::fclose(file);
    if (bytes->size() > limit) {
        bytes->resize(limit);
    }
    return true;
}

// A file in memory holding bytes, for libhivex to open by name; -1 when it cannot be made.
int memory_file(const std::vector<uint8_t>& bytes) {
    int fd = memfd_create("salvaged-hive", MFD_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) {
            close(fd);
            return -1;
        }
        done += static_cast<size_t>(wrote);
    }
    return fd;
}

struct LogFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

// The logs beside a hive (NAME.LOG1, NAME.LOG2, NAME.LOG, in any case), oldest first by the
// sequence number of their headers. Only regular files: a link is not followed, so that no
// log leads out of an image.
std::vector<LogFile> find_logs(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::vector<LogFile> logs;
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) {
        return logs;
    }
    while (const dirent* entry = readdir(listing)) {
        std::string candidate = entry->d_name;
        bool log = false;
        for (const char* suffix : {".LOG1", ".LOG2", ".LOG"}) {
            log = log || inventory::equal_ignoring_case(candidate, name + suffix);
        }
        struct stat info;
        std::string full = folder + candidate;
        if (log && lstat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            logs.push_back({candidate, {}});
            read_whole(full, MAX_READ_BYTES, &logs.back().bytes);
        }
    }
    closedir(listing);
    auto sequence = [](const LogFile& log) {
        uint32_t number = 0;
        for (size_t i = 0; i < 4 && log.bytes.size() >= LOG_BASE_BLOCK; ++i) {
            number |= static_cast<uint32_t>(log.bytes[REGF_SECONDARY_SEQUENCE + i]) << (8 * i);
        }
        return number;
    };
    std::sort(logs.begin(), logs.end(), [&](const LogFile& a, const LogFile& b) {
        return sequence(a) != sequence(b) ? sequence(a) < sequence(b) : a.name < b.name;
    });
    return logs;
}

// Frees what libhivex hands out with malloc.
struct Freer {
    void operator()(void* memory) const { std::free(memory); }
};
template <typename T> using Owned = std::unique_ptr<T, Freer>;

// The bytes of the file fd, mapped read-only; nullptr when they cannot be.
const uint8_t* map_file(int fd, size_t* size) {
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || info.st_size <= 0) {
        return nullptr;
    }
    void* bytes = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (bytes == MAP_FAILED) {
        return nullptr;
    }
    *size = static_cast<size_t>(info.st_size);
    return static_cast<const uint8_t*>(bytes);
}

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

std::string error_text(int error) {
    return error == ERANGE ? std::string("beyond libhivex's limits") : std::strerror(error);
}

} // namespace

std::unique_ptr<HiveFile> HiveFile::open(const std::string& path,
                                         std::vector<std::string>* warnings) {
    // A file that is not there (a mistyped name) is said as such, not as a bad header.
    std::vector<uint8_t> block;
    if (!read_whole(path, REGF_BASE_BLOCK, &block)) {
        warnings->push_back(path + ": cannot be opened (" + std::strerror(errno) + ")");
        return nullptr;
    }
    RegfState state = decode_regf_state(block.data(), block.size());
    for (const std::string& warning : regf_state_warnings(state, path)) {
        warnings->push_back(warning);
    }
    if (state.signature && state.dirty) {
        if (std::unique_ptr<HiveFile> replayed = open_replayed(path, warnings)) {
            return replayed;
        }
    }
    // No HIVEX_OPEN_WRITE: libhivex opens the file read-only.
    hive_h* hive = hivex_open(path.c_str(), 0);
    if (hive != nullptr) {
        size_t size = 0;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const uint8_t* bytes = map_file(fd, &size);
        if (fd >= 0) {
            close(fd);
        }
        return std::unique_ptr<HiveFile>(
            new HiveFile(hive, -1, bytes, size,
                         state.dirty ? inventory::HiveState::Dirty : inventory::HiveState::Clean));
    }
    std::string reason = std::strerror(errno);
    std::vector<uint8_t> whole;
    read_whole(path, MAX_READ_BYTES, &whole);
    int fd = memory_file(salvage_hive(whole));
    if (fd >= 0) {
        std::string name = "/proc/self/fd/" + std::to_string(fd);
        hive = hivex_open(name.c_str(), HIVEX_OPEN_UNSAFE);
    }
    if (hive == nullptr) {
        if (fd >= 0) {
            close(fd);
        }
        warnings->push_back(path + ": not a readable hive (" + reason + ")");
        return nullptr;
    }
    warnings->push_back(path + ": damaged (" + reason + "); read as far as it goes");
    size_t size = 0;
    const uint8_t* bytes = map_file(fd, &size);
    return std::unique_ptr<HiveFile>(
        new HiveFile(hive, fd, bytes, size, inventory::HiveState::Damaged));
}

std::unique_ptr<HiveFile> HiveFile::open_replayed(const std::string& path,
                                                  std::vector<std::string>* warnings) {
    std::vector<LogFile> logs = find_logs(path);
    if (logs.empty()) {
        warnings->push_back(path +
                            ": dirty (a write was not finished) and without a transaction log "
                            "to replay; read as it is");
        return nullptr;
    }
    std::vector<uint8_t> whole;
    read_whole(path, MAX_READ_BYTES, &whole);
    std::vector<std::string> applied;
    for (const LogFile& log : logs) {
        LogReplay replay = replay_log(log.bytes, MAX_READ_BYTES, &whole);
        if (replay.outcome == LogOutcome::Applied) {
            applied.push_back(log.name);
        } else if (replay.outcome == LogOutcome::Malformed) {
            warnings->push_back(path + ": its log " + log.name + " is not replayed (" +
                                replay.problem + ")");
        }
    }
    if (applied.empty()) {
        warnings->push_back(path + ": dirty (a write was not finished) and no log holds what is "
                                   "missing; read as it is");
        return nullptr;
    }
    // The replayed copy lives in memory only; the files are never changed.
    int fd = memory_file(whole);
    hive_h* hive = nullptr;
    if (fd >= 0) {
        std::string name = "/proc/self/fd/" + std::to_string(fd);
        hive = hivex_open(name.c_str(), 0);
    }
    if (hive == nullptr) {
        if (fd >= 0) {
            close(fd);
        }
        warnings->push_back(path + ": replayed from its logs, but the result is not a readable "
                                   "hive; read as it is");
        return nullptr;
    }
    size_t size = 0;
    const uint8_t* bytes = map_file(fd, &size);
    std::unique_ptr<HiveFile> file(
        new HiveFile(hive, fd, bytes, size, inventory::HiveState::Replayed));
    file->logs_ = applied;
    return file;
}

HiveFile::HiveFile(hive_h* hive, int memory_file, const uint8_t* bytes, size_t size,
                   inventory::HiveState state)
    : hive_(hive), memory_file_(memory_file), bytes_(bytes), size_(bytes != nullptr ? size : 0),
      state_(state) {}

HiveFile::~HiveFile() {
    hivex_close(hive_);
    if (bytes_ != nullptr) {
        munmap(const_cast<uint8_t*>(bytes_), size_);
    }
    if (memory_file_ >= 0) {
        close(memory_file_);
    }
}

std::string HiveFile::raw_name(size_t cell, bool key, std::vector<std::string>* problems,
                               const char* what) const {
    int error = errno;
    std::string name;
    bool read = bytes_ != nullptr && (key ? key_name(bytes_, size_, cell, &name)
                                          : value_name(bytes_, size_, cell, &name));
    if (!read) {
        problems->push_back(std::string("a ") + what + " that cannot be read (" +
                            error_text(error) + "), left out");
        return std::string();
    }
    problems->push_back(std::string("the ") + what + " " + quoted(name) +
                        " has a name that is not valid UTF-16; read with U+FFFD in its place");
    return name;
}

const HiveFile::Listing& HiveFile::listing(size_t node) const {
    auto known = listings_.find(node);
    if (known != listings_.end()) {
        return known->second;
    }
    Listing& listing = listings_[node];
    std::vector<size_t> offsets;
    errno = 0;
    Owned<hive_node_h> children(hivex_node_children(hive_, node));
    if (children) {
        for (hive_node_h* child = children.get(); *child != 0; ++child) {
            offsets.push_back(*child);
        }
    } else if (errno == ERANGE) {
        // Past libhivex's limit the list is read from the key's cells; each subkey is still
        // read by libhivex, which checks its cell.
        listing.read = true;
        if (bytes_ == nullptr || !key_subkey_offsets(bytes_, size_, node, &offsets)) {
            listing.problems.push_back("more subkeys than libhivex reads, and their list "
                                       "cannot be read from the hive; none listed");
            return listing;
        }
    } else {
        return listing;
    }
    listing.read = true;
    std::string prefix = std::to_string(node) + "\\";
    for (size_t child : offsets) {
        errno = 0;
        Owned<char> name(hivex_node_name(hive_, child));
        std::string text =
            name ? std::string(name.get()) : raw_name(child, true, &listing.problems, "subkey");
        if (!name && text.empty()) {
            continue;
        }
        // Two subkeys that fold alike: the first is the one found by name.
        children_.emplace(prefix + inventory::fold_case(text), child);
        listing.children.push_back({std::move(text), child});
    }
    return listing;
}

KeyStatus HiveFile::find(const std::string& path, size_t* found) const {
    hive_node_h node = hivex_root(hive_);
    if (node == 0) {
        return KeyStatus::Unreadable;
    }
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        end = end == std::string::npos ? path.size() : end;
        std::string_view name = std::string_view(path).substr(start, end - start);
        start = end + 1;
        if (name.empty()) {
            continue;
        }
        const Listing& parent = listing(node);
        if (!parent.read) {
            return KeyStatus::Unreadable;
        }
        auto child = children_.find(std::to_string(node) + "\\" + inventory::fold_case(name));
        if (child == children_.end()) {
            return KeyStatus::Missing;
        }
        node = child->second;
    }
    *found = node;
    return KeyStatus::Present;
}

KeyStatus HiveFile::subkeys(const std::string& path, std::vector<std::string>* names,
                            std::vector<std::string>* problems) const {
    size_t node = 0;
    KeyStatus status = find(path, &node);
    if (status != KeyStatus::Present) {
        return status;
    }
    const Listing& found = listing(node);
    if (!found.read) {
        return KeyStatus::Unreadable;
    }
    names->reserve(names->size() + found.children.size());
    for (const Child& child : found.children) {
        names->push_back(child.name);
    }
    problems->insert(problems->end(), found.problems.begin(), found.problems.end());
    return KeyStatus::Present;
}

KeyStatus HiveFile::values(const std::string& path, std::vector<inventory::RegistryValue>* values,
                           std::vector<std::string>* problems) const {
    size_t node = 0;
    KeyStatus status = find(path, &node);
    if (status != KeyStatus::Present) {
        return status;
    }
    std::vector<size_t> offsets;
    errno = 0;
    Owned<hive_value_h> list(hivex_node_values(hive_, node));
    if (list) {
        for (hive_value_h* value = list.get(); *value != 0; ++value) {
            offsets.push_back(*value);
        }
    } else if (errno != ERANGE || bytes_ == nullptr ||
               !key_value_offsets(bytes_, size_, node, &offsets)) {
        return KeyStatus::Unreadable;
    }
    // Past libhivex's limit the list is read from the key's cells; each value is still
    // read by libhivex, which checks its cell.
    values->reserve(values->size() + offsets.size());
    for (size_t value : offsets) {
        errno = 0;
        Owned<char> name(hivex_value_key(hive_, value));
        std::string text =
            name ? std::string(name.get()) : raw_name(value, false, problems, "value");
        if (!name && text.empty()) {
            continue;
        }
        hive_type type = hive_t_REG_NONE;
        size_t length = 0;
        errno = 0;
        Owned<char> data(hivex_value_value(hive_, value, &type, &length));
        inventory::RegistryValue read;
        if (!data && errno == ERANGE) {
            read.omitted_size = length; // too large for libhivex: the size is still known
        } else if (!data) {
            problems->push_back("the value " + quoted(text) + " cannot be read (" +
                                std::strerror(errno) + "), left out");
            continue;
        }
        read.name = std::move(text);
        // A hostile hive stores any 32-bit type, which the enumeration cannot hold: its bytes
        // are taken as they are.
        static_assert(sizeof read.type == sizeof type, "a value type is 32 bits");
        std::memcpy(&read.type, &type, sizeof read.type);
        if (data) {
            read.data.assign(data.get(), data.get() + length);
        }
        values->push_back(std::move(read));
    }
    return KeyStatus::Present;
}

} // namespace image_inventory
