// The CHECKSUM attribute of a file.
#pragma once

#include "byte_reader.h"
#include "byte_source.h"

#include <cstdint>

// The CHECKSUM attribute of a file's contents: a rotating sum of little-endian DWORDs over
// at most 0x1000 bytes (the whole file when shorter, else from offset 0x200 when the file
// reaches 0x1200 bytes, else its last 0x1000 bytes); 0 for files under 4 bytes.
std::uint32_t FileChecksum(ByteView file);

// The same, reading only the window from the source. False when the read fails.
bool SourceChecksum(const ByteSource& file, std::uint32_t& checksum);
