// The attributes that a file's executable headers give.
#pragma once

#include "byte_source.h"
#include "file_attributes.h"
#include "version_block.h"

// Where a file's version block lies, as its resources say.
struct BlockPlace {
    std::uint64_t offset;
    std::uint32_t size;
};

// What the headers tell beyond attributes: the module type, and where the version block lies
// when the image's resources hold one.
struct ImageFacts {
    ModuleType type;
    bool hasVersion;
    BlockPlace version;
    VersionForm form; // the 16-bit form for NE images
};

// Adds what the executable headers of a file tell: MODULE_TYPE always; for a PE image also
// LINK_DATE, PE_CHECKSUM, LINKER_VERSION, SIZE_OF_IMAGE and EXPORT_NAME, for an NE image
// 16BIT_MODULE_NAME and 16BIT_DESCRIPTION; the place of the version block of either; each only when
// the fields it comes from lie inside the file. Never reads outside the file, and reads only
// headers, tables and names.
ImageFacts AddImageAttributes(const ByteSource& file, FileAttributes& attributes);
