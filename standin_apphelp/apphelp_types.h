// The engine's handle, reference and attribute types.
#pragma once

#include <windows.h>

// The engine's handle and reference types, as its callers declare them.
typedef WORD TAG;
typedef DWORD TAGID;
typedef DWORD TAGREF;
typedef void* HSDB;
typedef void* PDB;

// How a database path is given.
enum PATH_TYPE { DOS_PATH = 0, NT_PATH = 1 };

// Flags of SdbInitDatabaseEx.
const DWORD HID_DOS_PATHS = 0x1;
const DWORD HID_DATABASE_FULLPATH = 0x2;
const DWORD HID_NO_DATABASE = 0x4;
const DWORD SDB_DATABASE_PREDEFINED = 0x80000000;
const DWORD SDB_DATABASE_SELECTOR_MASK = 0x000F0000;
const DWORD SDB_DATABASE_MAIN_SHIM = 0x80030000;

// Flag of SdbGetMatchingExe: leave the environment's layer variable out.
const DWORD SDBGMEF_IGNORE_ENVIRONMENT = 0x1;

// Image types of SdbInitDatabaseEx.
const USHORT IMAGE_TYPE_X86 = 0x14C;
const USHORT IMAGE_TYPE_X64 = 0x8664;

// One attribute of SdbGetFileAttributes.
struct ATTRINFO {
    TAG tAttrID;
    DWORD dwFlags; // ATTRIBUTE_AVAILABLE when the file has it
    union {
        ULONGLONG ullAttr;
        DWORD dwAttr;
        WCHAR* lpAttr;
    };
};
typedef ATTRINFO* PATTRINFO;
const DWORD ATTRIBUTE_AVAILABLE = 0x1;
