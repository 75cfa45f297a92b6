// The transaction logs of a registry hive (.LOG1, .LOG2, .LOG) and their replay onto a copy
// of the hive's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace image_inventory {

// A log starts with a copy of the hive's base block, 512 bytes of it; what follows tells the
// format: log entries (Windows 8.1 and later) or a dirty vector (earlier systems).
const size_t LOG_BASE_BLOCK = 512;
const size_t LOG_SECTOR = 512;

// Offsets in a log entry ("HvLE"), which is a multiple of 512 bytes long.
const size_t HVLE_SIGNATURE = 0;
const size_t HVLE_SIZE = 4;
const size_t HVLE_FLAGS = 8;
const size_t HVLE_SEQUENCE = 12;
const size_t HVLE_BINS_SIZE = 16; // of the hive after this entry
const size_t HVLE_PAGE_COUNT = 20;
const size_t HVLE_HASH1 = 24;           // Marvin32 of the entry from HVLE_PAGE_REFERENCES on
const size_t HVLE_HASH2 = 32;           // Marvin32 of the entry's first 32 bytes
const size_t HVLE_PAGE_REFERENCES = 40; // each: offset from the first bin, size; the pages follow
const size_t HVLE_PAGE_REFERENCE = 8;
const uint64_t HVLE_HASH_SEED = 0x82EF4D887A4E55C5ull;

// The dirty vector: "DIRT", then one bit per 512 bytes of bins (least significant bit first),
// then, from the next 512-byte boundary, the 512-byte sectors whose bits are set, in order.
const size_t DIRT_SIGNATURE = LOG_BASE_BLOCK;
const size_t DIRT_BITMAP = LOG_BASE_BLOCK + 4;

// The 64-bit Marvin32 of size bytes at data (the high half the second state word).
uint64_t marvin32(const uint8_t* data, size_t size, uint64_t seed);

enum class LogOutcome {
    Applied,   // pages of the log were written into the copy
    Stale,     // a sound log that holds nothing newer than the hive
    Malformed, // not a log of either format, or damaged before its first entry
};

struct LogReplay {
    LogOutcome outcome = LogOutcome::Malformed;
    size_t entries = 0;  // entries (or, for a dirty vector, sectors) applied
    std::string problem; // for Malformed: what is wrong
};

// Applies a log to hive, the bytes of a whole hive file whose header is sound: the entries
// from the hive's secondary sequence number on, in an unbroken run, each whole and with
// matching hashes; the first that is not ends the log. The header is then made to say the
// hive is up to date (sequence numbers, size of the bins, checksum). A dirty vector is
// applied only when its header's sequence numbers match the hive's. Never reads or writes
// outside either buffer, whatever the log holds; the hive may grow up to max_size bytes.
LogReplay replay_log(const std::vector<uint8_t>& log, size_t max_size, std::vector<uint8_t>* hive);

} // namespace image_inventory
