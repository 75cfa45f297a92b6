// The attributes of one file that matching conditions compare against.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "sdb_tags.h"

// The attributes of one file that MATCHING_FILE conditions compare against, keyed by their
// sdb:: tag.
// A tag that is absent is an attribute the file lacks: no condition on it can hold.
struct FileAttributes {
    std::map<std::uint16_t, std::uint64_t> numbers;  // WORD, DWORD and QWORD tags
    std::map<std::uint16_t, std::u16string> strings; // string tags
};

// MODULE_TYPE values.
enum ModuleType : std::uint32_t {
    ModuleUnknown = 0,
    ModuleDos = 1,
    ModuleNe = 2,
    ModulePe = 3,
};
