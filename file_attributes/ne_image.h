// The attributes that the header of a 16-bit (NE) executable gives.
#pragma once

#include "byte_source.h"
#include "file_attributes.h"

// Adds 16BIT_MODULE_NAME (the first resident name) and 16BIT_DESCRIPTION (the first
// non-resident name) of the NE header at neHeader, each when it lies inside the file.
void AddNeAttributes(const ByteSource& file, std::uint64_t neHeader, FileAttributes& attributes);
