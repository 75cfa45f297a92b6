// The shim engine's handle, tag and entry types, as the tool calls them.
#pragma once

#include <windows.h>

// The shim engine's own handle and tag types.
struct ShimContext;
struct ShimDatabase;
typedef ShimContext* HSDB; // a shim-engine context: the databases of one match
typedef ShimDatabase* PDB; // one open database, owned by its context
typedef DWORD TAGID;       // a tag's offset within one database
typedef DWORD TAGREF;      // a tag reference valid within one context
typedef WORD TAG;          // a tag number

// The apphelp.dll entries that the tool calls, with the platform's calling convention.
// Result buffers are untyped because the engine chooses the record layout it writes.
typedef PDB(WINAPI* SdbOpenDatabaseFn)(LPCWSTR path, DWORD pathType);
typedef void(WINAPI* SdbCloseDatabaseFn)(PDB database);
typedef TAGID(WINAPI* SdbFindFirstTagFn)(PDB database, TAGID parent, TAG tag);
typedef TAGID(WINAPI* SdbFindNextTagFn)(PDB database, TAGID parent, TAGID previous);
typedef LPWSTR(WINAPI* SdbGetStringTagPtrFn)(PDB database, TAGID tagId);
typedef BOOL(WINAPI* SdbUnpackAppCompatDataFn)(HSDB context, LPCWSTR imageName, PVOID packedData,
                                               void* result);
typedef BOOL(WINAPI* SdbGUIDToStringFn)(const GUID* guid, LPWSTR buffer, SIZE_T length);
typedef BOOL(WINAPI* SdbGetMatchingExeFn)(HSDB context, LPCWSTR path, LPCWSTR moduleName,
                                          LPCWSTR environment, DWORD flags, void* result);
typedef HSDB(WINAPI* SdbInitDatabaseExFn)(DWORD flags, LPCWSTR databasePath, USHORT imageType);
typedef void(WINAPI* SdbReleaseDatabaseFn)(HSDB context);
typedef BOOL(WINAPI* SdbTagRefToTagIDFn)(HSDB context, TAGREF tagRef, PDB* database, TAGID* tagId);
typedef BOOL(WINAPI* SdbGetPermLayerKeysFn)(LPCWSTR path, LPWSTR layers, DWORD* sizeInBytes,
                                            DWORD flags);
typedef LPCWSTR(WINAPI* SdbTagToStringFn)(TAG tag);
typedef TAG(WINAPI* SdbGetTagFromTagIDFn)(PDB database, TAGID tagId);
typedef TAGID(WINAPI* SdbGetFirstChildFn)(PDB database, TAGID parent);
typedef TAGID(WINAPI* SdbGetNextChildFn)(PDB database, TAGID parent, TAGID previous);
typedef WORD(WINAPI* SdbReadWORDTagFn)(PDB database, TAGID tagId, WORD fallback);
typedef DWORD(WINAPI* SdbReadDWORDTagFn)(PDB database, TAGID tagId, DWORD fallback);
typedef ULONGLONG(WINAPI* SdbReadQWORDTagFn)(PDB database, TAGID tagId, ULONGLONG fallback);
typedef HRESULT(WINAPI* SdbGetAppPatchDirFn)(HSDB context, LPWSTR path, DWORD length);
typedef DWORD(WINAPI* SdbGetTagDataSizeFn)(PDB database, TAGID tagId);
typedef PVOID(WINAPI* SdbGetBinaryTagDataFn)(PDB database, TAGID tagId);

// One file attribute as the engine hands it over. The value's member follows the type bits of
// the tag: a number for WORD, DWORD and QWORD tags, a NUL-terminated text for string tags.
struct ATTRINFO {
    TAG tAttrID;
    DWORD dwFlags; // AttributeAvailable when the file has the attribute
    union {
        ULONGLONG ullAttr;
        DWORD dwAttr;
        WCHAR* lpAttr;
    };
};
typedef ATTRINFO* PATTRINFO;
const DWORD AttributeAvailable = 0x1;

typedef BOOL(WINAPI* SdbGetFileAttributesFn)(LPCWSTR path, PATTRINFO* attributes, LPDWORD count);
typedef BOOL(WINAPI* SdbFreeFileAttributesFn)(PATTRINFO attributes);
typedef BOOL(WINAPI* SdbFormatAttributeFn)(PATTRINFO attribute, LPWSTR buffer, DWORD length);

// The path type passed to SdbOpenDatabase for a path with a drive letter.
const DWORD DosPathType = 0;

// Image types passed to SdbInitDatabaseEx: the PE machine types of x86 and x64.
const USHORT ImageTypeX86 = 0x14C;
const USHORT ImageTypeX64 = 0x8664;
