// The attributes of the files collected last, kept while each file stays as it was.
#pragma once

#include "file_attributes.h"

// Collects a file's attributes as CollectFileAttributes does, but answers from the few files
// collected last while the file is the same one (volume and file index) with the same size and
// last write time: a match and the attribute calls that follow it for the same program then
// read the file once. False when the file cannot be read.
bool RecentFileAttributes(const wchar_t* path, FileAttributes& attributes);
