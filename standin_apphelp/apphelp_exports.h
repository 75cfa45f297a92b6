// The engine's exported calls.
#pragma once

#include "apphelp_types.h"
#include "guarded_call.h"

// Every entry point of the engine, exported by name (apphelp.def) with __stdcall.
extern "C" {

// Contexts and matching.
HSDB WINAPI SdbInitDatabaseEx(DWORD flags, LPCWSTR path, USHORT imageType);
void WINAPI SdbReleaseDatabase(HSDB hsdb);
BOOL WINAPI SdbGetMatchingExe(HSDB hsdb, LPCWSTR path, LPCWSTR moduleName, LPCWSTR environment,
                              DWORD flags, void* result);
BOOL WINAPI SdbTagRefToTagID(HSDB hsdb, TAGREF tagRef, PDB* pdb, TAGID* tagId);
TAGREF WINAPI SdbFindFirstTagRef(HSDB hsdb, TAGREF parent, TAG tag);
TAGREF WINAPI SdbFindNextTagRef(HSDB hsdb, TAGREF parent, TAGREF previous);
HRESULT WINAPI SdbGetAppPatchDir(HSDB hsdb, LPWSTR path, DWORD size);
BOOL WINAPI SdbGetPermLayerKeys(LPCWSTR path, LPWSTR buffer, DWORD* size, DWORD flags);

// Packed shim data.
BOOL WINAPI SdbPackAppCompatData(HSDB hsdb, const void* result, void** data, DWORD* size);
BOOL WINAPI SdbUnpackAppCompatData(HSDB hsdb, LPCWSTR imageName, const void* data, void* result);
DWORD WINAPI SdbGetAppCompatDataSize(const void* data);

// Reading one database.
PDB WINAPI SdbOpenDatabase(LPCWSTR path, PATH_TYPE type);
void WINAPI SdbCloseDatabase(PDB pdb);
BOOL WINAPI SdbGetDatabaseVersion(LPCWSTR path, LPDWORD major, LPDWORD minor);
TAG WINAPI SdbGetTagFromTagID(PDB pdb, TAGID tagId);
LPCWSTR WINAPI SdbTagToString(TAG tag);
TAGID WINAPI SdbFindFirstTag(PDB pdb, TAGID parent, TAG tag);
TAGID WINAPI SdbFindNextTag(PDB pdb, TAGID parent, TAGID previous);
TAGID WINAPI SdbGetFirstChild(PDB pdb, TAGID parent);
TAGID WINAPI SdbGetNextChild(PDB pdb, TAGID parent, TAGID previous);
LPWSTR WINAPI SdbGetStringTagPtr(PDB pdb, TAGID tagId);
WORD WINAPI SdbReadWORDTag(PDB pdb, TAGID tagId, WORD fallback);
DWORD WINAPI SdbReadDWORDTag(PDB pdb, TAGID tagId, DWORD fallback);
ULONGLONG WINAPI SdbReadQWORDTag(PDB pdb, TAGID tagId, ULONGLONG fallback);
DWORD WINAPI SdbGetTagDataSize(PDB pdb, TAGID tagId);
void* WINAPI SdbGetBinaryTagData(PDB pdb, TAGID tagId);
BOOL WINAPI SdbGUIDToString(const GUID* guid, LPWSTR buffer, SIZE_T length);

// Writing one database.
PDB WINAPI SdbCreateDatabase(LPCWSTR path, PATH_TYPE type);
TAGID WINAPI SdbBeginWriteListTag(PDB pdb, TAG tag);
BOOL WINAPI SdbEndWriteListTag(PDB pdb, TAGID list);
BOOL WINAPI SdbWriteNULLTag(PDB pdb, TAG tag);
BOOL WINAPI SdbWriteWORDTag(PDB pdb, TAG tag, WORD value);
BOOL WINAPI SdbWriteDWORDTag(PDB pdb, TAG tag, DWORD value);
BOOL WINAPI SdbWriteQWORDTag(PDB pdb, TAG tag, ULONGLONG value);
BOOL WINAPI SdbWriteStringTag(PDB pdb, TAG tag, LPCWSTR value);
BOOL WINAPI SdbWriteBinaryTag(PDB pdb, TAG tag, const BYTE* data, DWORD size);
void WINAPI SdbCloseDatabaseWrite(PDB pdb);

// File attributes.
BOOL WINAPI SdbGetFileAttributes(LPCWSTR path, PATTRINFO* attributes, LPDWORD count);
BOOL WINAPI SdbFreeFileAttributes(PATTRINFO attributes);
BOOL WINAPI SdbFormatAttribute(PATTRINFO attribute, LPWSTR buffer, DWORD length);

// Resources for apphelp messages: this engine has none.
HMODULE WINAPI SdbOpenApphelpResourceFile(LPCWSTR resourceFile);
}
