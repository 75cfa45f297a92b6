// The collection of one file's attributes.
#pragma once

#include "file_attributes.h"

// Computes a file's attributes from the file itself: size, checksum, the executable headers
// and the version resource. False when the file cannot be opened for reading (missing, a
// folder, no access); a file that is not an executable has only what applies to any file.
bool CollectFileAttributes(const wchar_t* path, FileAttributes& attributes);
