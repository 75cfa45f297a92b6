// The attributes that a file's executable headers give.
#pragma once

#include "byte_reader.h"
#include "file_attributes.h"

// Adds what the executable headers of a file tell: MODULE_TYPE always; for a PE image also
// LINK_DATE, PE_CHECKSUM, LINKER_VERSION, SIZE_OF_IMAGE and EXPORT_NAME, each only when the
// fields it comes from lie inside the file. Never reads outside the block.
void AddImageAttributes(ByteView file, FileAttributes& attributes);
