// The registry as the inventory reads it: keys, subkeys and typed values, from any source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace inventory {

// Value types as the registry stores them (the numbers are the registry's own).
const uint32_t VALUE_NONE = 0;
const uint32_t VALUE_STRING = 1;
const uint32_t VALUE_EXPAND_STRING = 2;
const uint32_t VALUE_BINARY = 3;
const uint32_t VALUE_DWORD = 4;
const uint32_t VALUE_MULTI_STRING = 7;
const uint32_t VALUE_QWORD = 11;

// Which part of the registry a key path starts from.
enum class Hive {
    Machine,   // HKLM\SOFTWARE in the system's own view (the only one on a 32-bit system)
    Machine32, // HKLM\SOFTWARE as 32-bit programs see it on a 64-bit system (Wow6432Node)
    User,      // one user's hive (HKEY_USERS\<SID>, or an NTUSER.DAT file)
};

// A key: the hive, the user (an index into RegistryView::users(), for Hive::User only) and
// the path below the hive's root, with backslashes ("Microsoft\Windows NT\CurrentVersion").
struct KeyPath {
    Hive hive = Hive::Machine;
    size_t user = 0;
    std::string path;
};

// One value with its data as stored: strings stay UTF-16LE bytes with whatever terminator
// (or none) the source holds, so that the inventory itself judges type, size and ending.
struct RegistryValue {
    std::string name; // UTF-8; empty for the key's default value
    uint32_t type = VALUE_NONE;
    std::vector<uint8_t> data;
    // The size of data that was too large for the view to take; data is then empty.
    uint64_t omitted_size = 0;
};

// A user whose hive the view can read.
struct UserHive {
    std::string name;   // the profile folder's name, or the SID under HKEY_USERS
    std::string source; // where the hive was read from, for messages and the records
};

enum class KeyStatus {
    Present,
    Missing,    // no such key (or, for Hive::Machine32, no 32-bit view at all)
    Unreadable, // the key exists but could not be read (access denied, damaged hive)
};
// "present", "missing", "unreadable".
const char* key_status_text(KeyStatus status);

// A read-only view of a registry. Names are UTF-8, compared without regard to case by the
// source as the registry does. A view never writes.
class RegistryView {
public:
    virtual ~RegistryView() = default;
    // The user hives the view holds, in a fixed order; KeyPath::user indexes this list.
    virtual std::vector<UserHive> users() const = 0;
    // The names of the key's direct subkeys, in the source's order. A subkey the source cannot
    // name as it is (read under a stand-in name, or left out), or subkeys past a limit of the
    // source, give a line each in *problems (when given): the key is then read in part.
    virtual KeyStatus subkeys(const KeyPath& key, std::vector<std::string>* names,
                              std::vector<std::string>* problems = nullptr) const = 0;
    // The key's values, in the source's order; what could not be read is in *problems as above.
    virtual KeyStatus values(const KeyPath& key, std::vector<RegistryValue>* values,
                             std::vector<std::string>* problems = nullptr) const = 0;
};

} // namespace inventory
