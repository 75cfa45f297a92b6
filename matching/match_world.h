// What the evaluator knows of the program and the system, and the calls through which it
// asks the caller about files, folders, text and the registry.
#pragma once

#include "file_attributes.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A tri-state answer: yes, no, or the caller cannot tell.
enum class Knowledge { Yes, No, Unknown };

// The program being matched.
struct ProgramFacts {
    std::u16string path;                        // full path; its folder anchors relative names
    const FileAttributes* attributes = nullptr; // the program's own (MATCHING_FILE `*`)
    std::uint16_t machine = 0;   // PE machine (0x14C, 0x8664, ...); 0 not PE or unknown
    std::u16string moduleName16; // NE module name; empty when not an NE file
};

// PE machine values the evaluator understands.
const std::uint16_t MachineI386 = 0x14C;
const std::uint16_t MachineAmd64 = 0x8664;
const std::uint16_t MachineArm64 = 0xAA64;

// The Windows the program would run on: the running one live, an image's offline.
struct SystemFacts {
    bool known = false;      // false: nothing below is known
    bool is64Bit = false;    // 64-bit Windows
    std::uint32_t build = 0; // build number (19045, ...); 0 when not known
    // Values of environment variables by upper-case name without `%` (WINDIR, SYSTEMROOT,
    // SYSTEMDRIVE, PROGRAMFILES, PROGRAMFILES(X86), USERPROFILE) as a 64-bit program sees
    // them; a missing one cannot be expanded.
    std::map<std::u16string, std::u16string> variables;
};

// How a file looked up by path stands.
enum class FileState { Present, Missing, Unreadable };

// One thing MATCHING_REG asks for: a key, optionally a value and its data.
struct RegistryQuery {
    std::u16string key; // as the database gives it, e.g. HKLM\SOFTWARE\Vendor
    bool hasValueName = false;
    std::u16string valueName;
    bool hasData = false;            // compare the value's data with one of the below
    std::uint32_t type = 0;          // REG_VALUE_TYPE when given
    std::u16string text;             // REG_VALUE_DATA_SZ
    std::uint64_t number = 0;        // REG_VALUE_DATA_DWORD / QWORD
    std::vector<std::uint8_t> bytes; // REG_VALUE_DATA_BINARY
    int dataKind = 0;                // 0 none, 1 text, 2 number, 3 bytes
};

// The caller's view of the world. Paths are Windows-style ('\\'-separated) as the evaluator
// builds them; the world maps them onto its files. Every call defaults to "cannot tell".
class MatchWorld {
public:
    virtual ~MatchWorld() = default;
    // The attributes of the file at `path`; on Present, *attributes stays valid as long as
    // the world does. A folder is Missing.
    virtual FileState Attributes(const std::u16string& path, const FileAttributes** attributes) = 0;
    // The names in a folder; false when it cannot be listed.
    virtual bool ListFolder(const std::u16string& path, std::vector<std::u16string>& names,
                            std::vector<bool>& isFolder) {
        (void)path;
        (void)names;
        (void)isFolder;
        return false;
    }
    virtual Knowledge FolderExists(const std::u16string& path) {
        (void)path;
        return Knowledge::Unknown;
    }
    // Whether the file at `path` contains `bytes`.
    virtual Knowledge FileContains(const std::u16string& path,
                                   const std::vector<std::uint8_t>& bytes) {
        (void)path;
        (void)bytes;
        return Knowledge::Unknown;
    }
    // Whether the key (and value, and data) exists as the query asks.
    virtual Knowledge RegistryHolds(const RegistryQuery& query) {
        (void)query;
        return Knowledge::Unknown;
    }
};
