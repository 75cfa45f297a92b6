// Tags of the shim-database format: the types, every known tag, and their names.
#pragma once

#include <cstdint>

namespace sdb {

// Byte offset of an item's tag within the database image. 0 is the virtual root that
// covers the whole file after the header, and doubles as "no item" in results.
typedef uint32_t TAGID;
// A 16-bit tag; its top four bits give the item's type.
typedef uint16_t TAG;

const TAGID TAGID_ROOT = 0;
const TAGID TAGID_NONE = 0;
// Size of the file header: major version, minor version, magic.
const uint32_t HEADER_SIZE = 12;

// Item types (the top four bits of a tag).
const TAG TAG_TYPE_MASK = 0xF000;
const TAG TAG_TYPE_NULL = 0x1000;
const TAG TAG_TYPE_BYTE = 0x2000;
const TAG TAG_TYPE_WORD = 0x3000;
const TAG TAG_TYPE_DWORD = 0x4000;
const TAG TAG_TYPE_QWORD = 0x5000;
const TAG TAG_TYPE_STRINGREF = 0x6000;
const TAG TAG_TYPE_LIST = 0x7000;
const TAG TAG_TYPE_STRING = 0x8000;
const TAG TAG_TYPE_BINARY = 0x9000;

// The type bits of a tag.
inline TAG tag_type(TAG tag) {
    return static_cast<TAG>(tag & TAG_TYPE_MASK);
}
// True for the types whose items carry a 32-bit size (LIST, STRING, BINARY).
inline bool tag_has_size(TAG tag) {
    TAG type = tag_type(tag);
    return type == TAG_TYPE_LIST || type == TAG_TYPE_STRING || type == TAG_TYPE_BINARY;
}

// NULL
const TAG TAG_INCLUDE = 0x1001;
const TAG TAG_GENERAL = 0x1002;
const TAG TAG_MATCH_LOGIC_NOT = 0x1003;
const TAG TAG_APPLY_ALL_SHIMS = 0x1004;
// WORD
const TAG TAG_MATCH_MODE = 0x3001;
const TAG TAG_INDEX_TAG = 0x3802;
const TAG TAG_INDEX_KEY = 0x3803;
// DWORD
const TAG TAG_SIZE = 0x4001;
const TAG TAG_OFFSET = 0x4002;
const TAG TAG_CHECKSUM = 0x4003;
const TAG TAG_SHIM_TAGID = 0x4004;
const TAG TAG_PATCH_TAGID = 0x4005;
const TAG TAG_MODULE_TYPE = 0x4006;
const TAG TAG_VERDATEHI = 0x4007;
const TAG TAG_VERDATELO = 0x4008;
const TAG TAG_VERFILEOS = 0x4009;
const TAG TAG_VERFILETYPE = 0x400A;
const TAG TAG_PE_CHECKSUM = 0x400B;
const TAG TAG_PROBLEMSEVERITY = 0x4010;
const TAG TAG_LANGID = 0x4011;
const TAG TAG_VER_LANGUAGE = 0x4012;
const TAG TAG_HTMLHELPID = 0x4015;
const TAG TAG_INDEX_FLAGS = 0x4016;
const TAG TAG_FLAGS = 0x4017;
const TAG TAG_LAYER_TAGID = 0x401A;
const TAG TAG_LINKER_VERSION = 0x401C;
const TAG TAG_LINK_DATE = 0x401D;
const TAG TAG_UPTO_LINK_DATE = 0x401E;
const TAG TAG_FLAG_TAGID = 0x4020;
const TAG TAG_RUNTIME_PLATFORM = 0x4021;
const TAG TAG_OS_PLATFORM = 0x4023;
const TAG TAG_FROM_LINK_DATE = 0x4033;
const TAG TAG_SIZE_OF_IMAGE = 0x4043;
const TAG TAG_CRC_CHECKSUM = 0x404A;
// QWORD
const TAG TAG_TIME = 0x5001;
const TAG TAG_BIN_FILE_VERSION = 0x5002;
const TAG TAG_BIN_PRODUCT_VERSION = 0x5003;
const TAG TAG_FLAG_MASK_KERNEL = 0x5005;
const TAG TAG_UPTO_BIN_PRODUCT_VERSION = 0x5006;
const TAG TAG_FLAG_MASK_USER = 0x5008;
const TAG TAG_UPTO_BIN_FILE_VERSION = 0x500D;
const TAG TAG_FROM_BIN_PRODUCT_VERSION = 0x5012;
const TAG TAG_FROM_BIN_FILE_VERSION = 0x5013;
// STRINGREF
const TAG TAG_NAME = 0x6001;
const TAG TAG_DESCRIPTION = 0x6002;
const TAG TAG_MODULE = 0x6003;
const TAG TAG_VENDOR = 0x6005;
const TAG TAG_APP_NAME = 0x6006;
const TAG TAG_COMMAND_LINE = 0x6008;
const TAG TAG_COMPANY_NAME = 0x6009;
const TAG TAG_DLLFILE = 0x600A;
const TAG TAG_WILDCARD_NAME = 0x600B;
const TAG TAG_PRODUCT_NAME = 0x6010;
const TAG TAG_PRODUCT_VERSION = 0x6011;
const TAG TAG_FILE_DESCRIPTION = 0x6012;
const TAG TAG_FILE_VERSION = 0x6013;
const TAG TAG_ORIGINAL_FILENAME = 0x6014;
const TAG TAG_INTERNAL_NAME = 0x6015;
const TAG TAG_LEGAL_COPYRIGHT = 0x6016;
const TAG TAG_APPHELP_DETAILS = 0x6018;
const TAG TAG_LINK_URL = 0x6019;
const TAG TAG_LINK_TEXT = 0x601A;
const TAG TAG_APPHELP_TITLE = 0x601B;
const TAG TAG_LAYER_DISPLAYNAME = 0x6021;
const TAG TAG_COMPILER_VERSION = 0x6022;
const TAG TAG_EXPORT_NAME = 0x6024;
// LIST
const TAG TAG_DATABASE = 0x7001;
const TAG TAG_LIBRARY = 0x7002;
const TAG TAG_INEXCLUDE = 0x7003;
const TAG TAG_SHIM = 0x7004;
const TAG TAG_PATCH = 0x7005;
const TAG TAG_APP = 0x7006;
const TAG TAG_EXE = 0x7007;
const TAG TAG_MATCHING_FILE = 0x7008;
const TAG TAG_SHIM_REF = 0x7009;
const TAG TAG_PATCH_REF = 0x700A;
const TAG TAG_LAYER = 0x700B;
const TAG TAG_FILE = 0x700C;
const TAG TAG_APPHELP = 0x700D;
const TAG TAG_LINK = 0x700E;
const TAG TAG_DATA = 0x700F;
const TAG TAG_FLAG = 0x7013;
const TAG TAG_FLAG_REF = 0x7015;
const TAG TAG_STRINGTABLE = 0x7801;
const TAG TAG_INDEXES = 0x7802;
const TAG TAG_INDEX = 0x7803;
// STRING
const TAG TAG_STRINGTABLE_ITEM = 0x8801;
// BINARY
const TAG TAG_PATCH_BITS = 0x9002;
const TAG TAG_FILE_BITS = 0x9003;
const TAG TAG_EXE_ID = 0x9004;
const TAG TAG_DATA_BITS = 0x9005;
const TAG TAG_DATABASE_ID = 0x9007;
const TAG TAG_FIX_ID = 0x9010;
const TAG TAG_APP_ID = 0x9011;
const TAG TAG_INDEX_BITS = 0x9801;

// Value of INDEX_FLAGS for an index that holds one record per distinct key.
const uint32_t INDEX_FLAG_UNIQUE_KEY = 1;

// Name of a known tag ("EXE", "NAME", ...), or nullptr for an unknown one.
const char* tag_name(TAG tag);
// Tag of a name as given by tag_name(), matched exactly; 0 when the name is unknown.
TAG tag_from_name(const char* name);

} // namespace sdb
