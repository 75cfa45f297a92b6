// The attributes that the header of a 16-bit (NE) executable gives, and its version block.
#pragma once

#include "byte_source.h"
#include "file_attributes.h"
#include "pe_image.h"

// Adds 16BIT_MODULE_NAME (the first resident name) and 16BIT_DESCRIPTION (the first
// non-resident name) of the NE header at neHeader, each when it lies inside the file.
void AddNeAttributes(const ByteSource& file, std::uint64_t neHeader, FileAttributes& attributes);

// Finds the version block (type RT_VERSION, its first resource) through the resource table of
// the NE header at neHeader; false when there is none or it does not lie inside the file.
bool FindNeVersionBlock(const ByteSource& file, std::uint64_t neHeader, BlockPlace& place);
