// The opening of a shim-engine context and the image types it takes.
#pragma once

#include "match_lines.h"
#include "shim_types.h"

// Opens a shim-engine context on the main databases for the image type. When none can be had,
// adds why (the missing entry, or "SdbInitDatabaseEx failed") and returns null. A context that
// can be had but not released is returned with the line for the missing release entry.
HSDB OpenShimContext(MatchReport& report, USHORT imageType);
