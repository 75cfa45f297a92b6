// Reads all the attributes the shim engine computes for a file, from the file's bytes.
#pragma once

#include "byte_source.h"
#include "file_attributes.h"

// Fills attributes with what the file gives (see README.md for each attribute and where it
// comes from): SIZE (when it fits in 32 bits), CHECKSUM, the header attributes, the version
// resource's, and the bounds UPTO_BIN_FILE_VERSION, UPTO_BIN_PRODUCT_VERSION and
// UPTO_LINK_DATE, which equal the values they bound. Reads the headers, the resource tables,
// the version block, the export name and the checksum window, never the whole of a large file.
void ReadFileAttributes(const ByteSource& file, FileAttributes& attributes);

// ReadFileAttributes over a file on disk, its headers read once. False, with attributes
// unchanged, when a read inside the file failed.
bool ReadFileAttributesOf(const PositionedFileSource& file, FileAttributes& attributes);
