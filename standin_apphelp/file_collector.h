// The collection of one file's attributes.
#pragma once

#include "file_attributes.h"

// Computes a file's attributes from the file's bytes, as file_attributes/ reads them on every
// platform: no call to the platform's version queries, so that native tools and the engine
// under Wine agree. False when the file cannot be opened for reading (missing, a folder, no
// access) or a read inside it fails; a file that is not an executable has only what applies
// to any file.
bool CollectFileAttributes(const wchar_t* path, FileAttributes& attributes);
