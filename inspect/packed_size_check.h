// The check of the size that a packed shim data block claims for itself.
#pragma once

#include <cstdint>
#include <vector>

// False when the block carries the packed data's magic and the size field of that form claims
// more bytes than were read: the engine's unpacker trusts that field and would read past the
// copy. A block without the magic is left to the unpacker, which refuses it. The block holds
// at least 4096 bytes, as every copy of a remote block does.
bool PackedSizeWithinCopy(const std::vector<unsigned char>& block, uint32_t bytesRead);
