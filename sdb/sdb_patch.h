// The records of PATCH_BITS: which module an in-memory patch changes, where, and how.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sdb {

// The layout of one record: a fixed header, then `pattern_size` bytes of pattern (the
// bytes compared or written). `record_size` spans the header and the pattern.
const uint32_t PATCH_RECORD_OPCODE = 0;
const uint32_t PATCH_RECORD_SIZE = 4;
const uint32_t PATCH_RECORD_PATTERN_SIZE = 8;
const uint32_t PATCH_RECORD_RVA = 12;
const uint32_t PATCH_RECORD_RESERVED = 16;
const uint32_t PATCH_RECORD_MODULE = 20;          // the module's name, UTF-16, NUL-padded
const uint32_t PATCH_RECORD_MODULE_UNITS = 32;    // its length in UTF-16 units
const uint32_t PATCH_RECORD_HEADER = 20 + 2 * 32; // where the pattern starts

// The opcodes that records carry: the list ends at PATCH_END.
const uint32_t PATCH_END = 0;
const uint32_t PATCH_REPLACE = 2;
const uint32_t PATCH_MATCH = 4;

struct PatchRecord {
    uint32_t offset = 0; // of the record in PATCH_BITS
    uint32_t opcode = 0;
    uint32_t rva = 0;          // the offset in the module that the record compares or writes
    uint32_t pattern_size = 0; // bytes compared or written
    std::u16string module;     // the module's name
};

// The records of PATCH_BITS data up to its end record, in order. Stops, with *complete
// false, at a record that does not fit in the data or whose size cannot hold its pattern.
std::vector<PatchRecord> decode_patch_bits(const uint8_t* data, uint32_t size, bool* complete);

// "replace", "match", or the number for another opcode.
std::string patch_opcode_text(uint32_t opcode);

} // namespace sdb
