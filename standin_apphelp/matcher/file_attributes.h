#pragma once

#include <cstdint>
#include <map>
#include <string>

// The attributes of one file that MATCHING_FILE conditions compare against, keyed by tag.
// A tag that is absent is an attribute the file lacks: no condition on it can hold.
struct FileAttributes {
    std::map<std::uint16_t, std::uint64_t> numbers;  // WORD, DWORD and QWORD tags
    std::map<std::uint16_t, std::u16string> strings; // string tags
};

// The attribute tags the engine computes.
enum AttributeTag : std::uint16_t {
    TagSize = 0x4001,
    TagChecksum = 0x4003,
    TagModuleType = 0x4006,
    TagVerDateHi = 0x4007,
    TagVerDateLo = 0x4008,
    TagVerFileOs = 0x4009,
    TagVerFileType = 0x400A,
    TagPeChecksum = 0x400B,
    TagVerLanguage = 0x4012,
    TagLinkerVersion = 0x401C,
    TagLinkDate = 0x401D,
    TagSizeOfImage = 0x4043,
    TagBinFileVersion = 0x5002,
    TagBinProductVersion = 0x5003,
    TagCompanyName = 0x6009,
    TagProductName = 0x6010,
    TagProductVersion = 0x6011,
    TagFileDescription = 0x6012,
    TagFileVersion = 0x6013,
    TagOriginalFilename = 0x6014,
    TagInternalName = 0x6015,
    TagLegalCopyright = 0x6016,
    TagExportName = 0x6024,
};

// MODULE_TYPE values.
enum ModuleType : std::uint32_t {
    ModuleUnknown = 0,
    ModuleDos = 1,
    ModuleNe = 2,
    ModulePe = 3,
};
