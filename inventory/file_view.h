// The file system as the inventory reads it: folders, files and their status.
#pragma once

#include "sdb_audit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace inventory {

enum class FileStatus {
    Ok,
    Missing,     // nothing at that path
    Unreadable,  // there, but could not be listed or read
    OutsideRoot, // a link that leads out of the image (never followed), another drive, a share
    NotAFile,    // a folder or a device where a file was expected, or the reverse
    Unavailable, // no file system to look in (registry hives read alone)
};
// A short English description ("missing", "outside the image", ...).
const char* file_status_text(FileStatus status);

// A file's times as FILETIMEs; absent where the source does not keep them.
struct FileTimes {
    std::optional<uint64_t> created;
    std::optional<uint64_t> modified;
};

struct DirectoryEntry {
    std::string name; // UTF-8, as the file system spells it
    bool directory = false;
};

// A read-only view of a Windows file system. Paths are Windows paths in UTF-8, full
// ("C:\Windows\AppPatch\sysmain.sdb") or starting at the Windows folder; they are
// matched without regard to case, as Windows does. A view never writes.
class FileView {
public:
    virtual ~FileView() = default;
    // The Windows folder ("C:\Windows"), which %windir% and %SystemRoot% stand for.
    virtual std::string windows_directory() const = 0;
    // The entries of a folder (without "." and ".."), in the source's order.
    virtual FileStatus list_directory(const std::string& path,
                                      std::vector<DirectoryEntry>* entries) const = 0;
    // The whole content of a file.
    virtual FileStatus read_file(const std::string& path, std::vector<uint8_t>* bytes) const = 0;
    // Ok when path names a readable regular file; the reason otherwise.
    virtual FileStatus file_status(const std::string& path) const = 0;
    // What the OS says of a file's signature. Only a view of the running system can ask it;
    // others answer NotChecked, and the audit then trusts content alone.
    virtual sdb::SignatureVerdict verify_signature(const std::string& path) const {
        (void)path;
        return sdb::SignatureVerdict();
    }
    // The file's times; a view that keeps none leaves them absent.
    virtual FileTimes file_times(const std::string& path) const {
        (void)path;
        return {};
    }
};

} // namespace inventory
