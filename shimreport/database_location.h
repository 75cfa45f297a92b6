// Where the database of a matched entry lies on disk.
#pragma once

#include <string>

#include "explanation.h"
#include "shim_types.h"

// The file of the database that a tag reference points into: the main database (selector 0,
// the one the context was opened on) in the engine's AppPatch folder, any other by its GUID's
// registration under InstalledSDB. Unknown, with the reason, when neither can be had.
EngineText DatabasePathOf(HSDB context, TAGREF tagRef, const EngineText& databaseId);
