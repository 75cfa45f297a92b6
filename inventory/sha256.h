// SHA-256 of a block of bytes, in plain C++, for the digests the inventory writes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace inventory {

using Sha256Digest = std::array<uint8_t, 32>;

// The digest of size bytes at data.
Sha256Digest sha256(const uint8_t* data, size_t size);

// The digest as 64 lower-case hexadecimal digits.
std::string sha256_hex(const uint8_t* data, size_t size);

} // namespace inventory
