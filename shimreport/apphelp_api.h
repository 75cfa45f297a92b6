// The table of apphelp.dll entries and how the library is loaded.
#pragma once

#include <windows.h>

#include "../common/entry_point.h"
#include "shim_types.h"

// The apphelp.dll entries, in the order they are looked up. Entries the tool never calls keep
// the untyped FARPROC; each is null when the library lacks it.
struct ApphelpApiTable {
    HMODULE module; // null until a load has succeeded
    SdbOpenDatabaseFn SdbOpenDatabase;
    SdbCloseDatabaseFn SdbCloseDatabase;
    SdbTagToStringFn SdbTagToString;
    SdbGetTagFromTagIDFn SdbGetTagFromTagID;
    SdbFindFirstTagFn SdbFindFirstTag;
    SdbFindNextTagFn SdbFindNextTag;
    SdbGetFirstChildFn SdbGetFirstChild;
    SdbGetNextChildFn SdbGetNextChild;
    FARPROC SdbOpenApphelpResourceFile;
    SdbGetStringTagPtrFn SdbGetStringTagPtr;
    SdbReadWORDTagFn SdbReadWORDTag;
    SdbReadDWORDTagFn SdbReadDWORDTag;
    SdbReadQWORDTagFn SdbReadQWORDTag;
    SdbGetAppPatchDirFn SdbGetAppPatchDir;
    SdbUnpackAppCompatDataFn SdbUnpackAppCompatData;
    FARPROC SdbGetDatabaseVersion;
    SdbGetTagDataSizeFn SdbGetTagDataSize;
    SdbGetBinaryTagDataFn SdbGetBinaryTagData;
    SdbGUIDToStringFn SdbGUIDToString;
    SdbGetFileAttributesFn SdbGetFileAttributes;
    SdbFreeFileAttributesFn SdbFreeFileAttributes;
    SdbGetMatchingExeFn SdbGetMatchingExe;
    FARPROC SdbFindFirstTagRef;
    FARPROC SdbFindNextTagRef;
    SdbInitDatabaseExFn SdbInitDatabaseEx;
    SdbReleaseDatabaseFn SdbReleaseDatabase;
    SdbTagRefToTagIDFn SdbTagRefToTagID;
    SdbFormatAttributeFn SdbFormatAttribute;
    SdbGetPermLayerKeysFn SdbGetPermLayerKeys;
};

// Filled at the first use; lives until the process ends. The library is never unloaded.
extern ApphelpApiTable ApphelpApi;

typedef HMODULE (*ApphelpLoaderFn)();
typedef EntryFinderFn ApphelpLookupFn;

// How the library is loaded and its entries found; replaceable so that tests never load the
// real library.
extern ApphelpLoaderFn LoadApphelpLibrary;
extern ApphelpLookupFn LookUpApphelpEntry;

// Loads apphelp.dll from the system directory only, so that a planted copy beside the tool is
// never used.
HMODULE LoadApphelpFromSystemDirectory();

// Loads the library and looks up every entry, unless a load has already succeeded. A failed
// load leaves the module null, so the next call tries again.
void EnsureApphelpLoaded();
