// Reads a file's attributes by path on a POSIX system, for the native tools.
#pragma once

#include "file_attributes.h"

#include <string>

// The attributes of the regular file at path (ReadFileAttributes over positioned reads, SIZE
// from the file system). False, with attributes unchanged, when the file cannot be opened,
// is not a regular file, or a read inside it fails.
bool ReadFileAttributesAtPath(const std::string& path, FileAttributes& attributes);
