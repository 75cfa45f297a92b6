// The base block at the start of a registry hive file: the fields quillet-image checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace image_inventory {

// Offsets in the 4096-byte base block.
const size_t REGF_SIGNATURE = 0;          // "regf"
const size_t REGF_PRIMARY_SEQUENCE = 4;   // incremented before a write
const size_t REGF_SECONDARY_SEQUENCE = 8; // set equal to it once the write is done
const size_t REGF_MAJOR_VERSION = 20;
const size_t REGF_MINOR_VERSION = 24;
const size_t REGF_ROOT_CELL = 36;    // offset of the root key's cell from the first bin
const size_t REGF_BINS_SIZE = 40;    // bytes of hive bins after the base block
const size_t REGF_CHECKSUM = 508;    // XOR of the 127 dwords before it
const size_t REGF_BASE_BLOCK = 4096; // the first bin starts here

// Offsets in the header of each hive bin.
const size_t HBIN_SIGNATURE = 0; // "hbin"
const size_t HBIN_OFFSET = 4;    // of this bin from the first
const size_t HBIN_SIZE = 8;      // of this bin, header included
const size_t HBIN_ALIGNMENT = 4096;

// What the base block says about the state of the hive.
struct RegfState {
    bool signature = false; // starts with "regf" and is long enough to hold the base block
    bool dirty = false;     // the sequence numbers differ: a write was not finished
    bool checksum = false;  // the checksum matches
};

// The XOR checksum of a base block's first 508 bytes (the block must be that long).
uint32_t regf_checksum(const uint8_t* base_block);

// Decodes the state from the first bytes of a hive file.
RegfState decode_regf_state(const uint8_t* bytes, size_t size);

// A copy of a hive that libhivex refused, cut after its last whole bin, its header made to
// say so (the bins' size, equal sequence numbers, the checksum), so that the readable part
// can be opened. Empty when not even the base block and one bin are whole.
std::vector<uint8_t> salvage_hive(const std::vector<uint8_t>& bytes);

// The warnings a header deserves (no signature, a checksum that does not match), each naming
// the hive; whether a dirty hive deserves one depends on its logs.
std::vector<std::string> regf_state_warnings(const RegfState& state, const std::string& hive);

} // namespace image_inventory
