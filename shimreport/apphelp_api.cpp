// Loads apphelp.dll and fills the table of its entries.
#include "apphelp_api.h"

#include "../common/entry_point.h"
#include "system_library.h"

ApphelpApiTable ApphelpApi = ApphelpApiTable();
ApphelpLoaderFn LoadApphelpLibrary = LoadApphelpFromSystemDirectory;
ApphelpLookupFn LookUpApphelpEntry = GetProcAddress;

HMODULE LoadApphelpFromSystemDirectory() {
    return LoadSystemLibrary(L"apphelp.dll");
}

#define QUILLET_LOOK_UP(name)                                                                      \
    ApphelpApi.name =                                                                              \
        FindEntryPoint<decltype(ApphelpApi.name)>(ApphelpApi.module, #name, LookUpApphelpEntry)

void EnsureApphelpLoaded() {
    if (ApphelpApi.module != NULL) {
        return;
    }
    ApphelpApi = ApphelpApiTable();
    ApphelpApi.module = LoadApphelpLibrary();
    if (ApphelpApi.module == NULL) {
        return;
    }
    QUILLET_LOOK_UP(SdbOpenDatabase);
    QUILLET_LOOK_UP(SdbCloseDatabase);
    QUILLET_LOOK_UP(SdbTagToString);
    QUILLET_LOOK_UP(SdbGetTagFromTagID);
    QUILLET_LOOK_UP(SdbFindFirstTag);
    QUILLET_LOOK_UP(SdbFindNextTag);
    QUILLET_LOOK_UP(SdbGetFirstChild);
    QUILLET_LOOK_UP(SdbGetNextChild);
    QUILLET_LOOK_UP(SdbOpenApphelpResourceFile);
    QUILLET_LOOK_UP(SdbGetStringTagPtr);
    QUILLET_LOOK_UP(SdbReadWORDTag);
    QUILLET_LOOK_UP(SdbReadDWORDTag);
    QUILLET_LOOK_UP(SdbReadQWORDTag);
    QUILLET_LOOK_UP(SdbGetAppPatchDir);
    QUILLET_LOOK_UP(SdbUnpackAppCompatData);
    QUILLET_LOOK_UP(SdbGetDatabaseVersion);
    QUILLET_LOOK_UP(SdbGetTagDataSize);
    QUILLET_LOOK_UP(SdbGetBinaryTagData);
    QUILLET_LOOK_UP(SdbGUIDToString);
    QUILLET_LOOK_UP(SdbGetFileAttributes);
    QUILLET_LOOK_UP(SdbFreeFileAttributes);
    QUILLET_LOOK_UP(SdbGetMatchingExe);
    QUILLET_LOOK_UP(SdbFindFirstTagRef);
    QUILLET_LOOK_UP(SdbFindNextTagRef);
    QUILLET_LOOK_UP(SdbInitDatabaseEx);
    QUILLET_LOOK_UP(SdbReleaseDatabase);
    QUILLET_LOOK_UP(SdbTagRefToTagID);
    QUILLET_LOOK_UP(SdbFormatAttribute);
    QUILLET_LOOK_UP(SdbGetPermLayerKeys);
}
