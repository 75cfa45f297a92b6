// The match record in the layouts the shim engine writes.
#pragma once

#include <windows.h>

#include "shim_types.h"

// The match record as the shim engine writes it, in its current 456-byte layout. Every field
// sits at its natural alignment, so the structure has the engine's byte offsets.
struct SdbQueryResult456 {
    TAGREF exeTagRefs[16];
    DWORD exeFlags[16];
    TAGREF layerTagRefs[8];
    DWORD layerFlags;
    TAGREF apphelpTagRef;
    DWORD exeCount;
    DWORD layerCount;
    GUID matchId;
    DWORD resultFlags;
    DWORD customDbMap;
    GUID databaseIds[16];
};

// The older 344-byte layout: four executable slots and no executable flags.
struct SdbQueryResult344 {
    TAGREF exeTagRefs[4];
    TAGREF layerTagRefs[8];
    DWORD layerFlags;
    TAGREF apphelpTagRef;
    DWORD exeCount;
    DWORD layerCount;
    GUID matchId;
    DWORD resultFlags;
    DWORD customDbMap;
    GUID databaseIds[16];
};

static_assert(sizeof(SdbQueryResult456) == 456, "456-byte layout");
static_assert(sizeof(SdbQueryResult344) == 344, "344-byte layout");

// The buffer the engine writes a record into: twice the larger layout, so that the bytes after
// either layout stay visible. The record is read in place through the member of its layout.
const int QueryResultBufferSize = 2 * sizeof(SdbQueryResult456);
union QueryResultBuffer {
    unsigned char bytes[QueryResultBufferSize];
    SdbQueryResult456 layout456;
    SdbQueryResult344 layout344;
};
