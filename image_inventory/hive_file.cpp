// One registry hive file opened read-only through libhivex, navigated by key path.
#include "hive_file.h"

#include "image_files.h"
#include "regf_header.h"
#include "regf_log.h"
#include "windows_paths.h"

#include <dirent.h>
#include <hivex.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
        return std::unique_ptr<HiveFile>(new HiveFile(
            hive, -1, state.dirty ? inventory::HiveState::Dirty : inventory::HiveState::Clean));
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
    return std::unique_ptr<HiveFile>(new HiveFile(hive, fd, inventory::HiveState::Damaged));
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
    std::unique_ptr<HiveFile> file(new HiveFile(hive, fd, inventory::HiveState::Replayed));
    file->logs_ = applied;
    return file;
}

HiveFile::HiveFile(hive_h* hive, int memory_file, inventory::HiveState state)
    : hive_(hive), memory_file_(memory_file), state_(state) {}

HiveFile::~HiveFile() {
    hivex_close(hive_);
    if (memory_file_ >= 0) {
        close(memory_file_);
    }
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
        std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty()) {
            continue;
        }
        errno = 0;
        node = hivex_node_get_child(hive_, node, name.c_str());
        if (node == 0) {
            return errno == 0 ? KeyStatus::Missing : KeyStatus::Unreadable;
        }
    }
    *found = node;
    return KeyStatus::Present;
}

KeyStatus HiveFile::subkeys(const std::string& path, std::vector<std::string>* names) const {
    size_t node = 0;
    KeyStatus status = find(path, &node);
    if (status != KeyStatus::Present) {
        return status;
    }
    Owned<hive_node_h> children(hivex_node_children(hive_, node));
    if (!children) {
        return KeyStatus::Unreadable;
    }
    for (hive_node_h* child = children.get(); *child != 0; ++child) {
        Owned<char> name(hivex_node_name(hive_, *child));
        if (name) {
            names->push_back(name.get());
        }
    }
    return KeyStatus::Present;
}

KeyStatus HiveFile::values(const std::string& path,
                           std::vector<inventory::RegistryValue>* values) const {
    size_t node = 0;
    KeyStatus status = find(path, &node);
    if (status != KeyStatus::Present) {
        return status;
    }
    Owned<hive_value_h> list(hivex_node_values(hive_, node));
    if (!list) {
        return KeyStatus::Unreadable;
    }
    for (hive_value_h* value = list.get(); *value != 0; ++value) {
        Owned<char> name(hivex_value_key(hive_, *value));
        hive_type type = hive_t_REG_NONE;
        size_t length = 0;
        Owned<char> data(hivex_value_value(hive_, *value, &type, &length));
        if (!name || !data) {
            status = KeyStatus::Unreadable;
            continue;
        }
        inventory::RegistryValue read;
        read.name = name.get();
        // A hostile hive stores any 32-bit type, which the enumeration cannot hold: its bytes
        // are taken as they are.
        static_assert(sizeof read.type == sizeof type, "a value type is 32 bits");
        std::memcpy(&read.type, &type, sizeof read.type);
        read.data.assign(data.get(), data.get() + length);
        values->push_back(read);
    }
    return status;
}

} // namespace image_inventory
