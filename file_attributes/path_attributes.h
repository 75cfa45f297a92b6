// Reads a file's attributes by path on a POSIX system, for the native tools.
#pragma once

#include "file_attributes.h"

#include <string>

// The attributes of the regular file at path (ReadFileAttributes over positioned reads, SIZE
// from the file system). False, with attributes unchanged, when the file cannot be opened,
// is not a regular file, or a read inside it fails.
bool ReadFileAttributesAtPath(const std::string& path, FileAttributes& attributes);

// The same for a file already open, so that a caller that opened it (and checked what it
// opened) reads the attributes of that very file.
bool ReadFileAttributesOfDescriptor(int fd, FileAttributes& attributes);

// An open file descriptor (or -1), closed on every way out.
struct DescriptorHolder {
    explicit DescriptorHolder(int opened) : fd(opened) {}
    ~DescriptorHolder();
    DescriptorHolder(const DescriptorHolder&) = delete;
    DescriptorHolder& operator=(const DescriptorHolder&) = delete;
    const int fd;
};
