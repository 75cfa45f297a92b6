// The readable length of memory from an address.
#pragma once

#include <cstddef>

// How many bytes from `address` on, up to `limit`, can be read: committed memory without
// guard or no-access protection. Packed shim data comes without a length, so this bounds
// what the unpacking may look at.
std::size_t ReadableBytes(const void* address, std::size_t limit);
