// Transaction logs for the tests, written by hand from the public layout of both formats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One page of a hive's bins as a log carries it: its offset from the first bin and its bytes.
struct LogPage {
    uint32_t offset;
    std::vector<uint8_t> bytes;
};

uint32_t hive_field(const std::vector<uint8_t>& hive, size_t offset);
// Sets a field of the base block and makes its checksum right again.
void set_hive_field(std::vector<uint8_t>* hive, size_t offset, uint32_t value);

// A log of the current format: the hive's header, then one entry per element of entries,
// numbered from sequence on, each with its pages.
std::vector<uint8_t> entries_log(const std::vector<uint8_t>& hive, uint32_t sequence,
                                 const std::vector<std::vector<LogPage>>& entries);
// A log of the earlier format: the hive's header, a dirty vector marking the 512-byte sectors
// of pages (each a multiple of 512 bytes at a multiple of 512), then those sectors.
std::vector<uint8_t> dirty_vector_log(const std::vector<uint8_t>& hive,
                                      const std::vector<LogPage>& pages);

// The page of the hive's bins (4096 bytes) that holds text (UTF-16LE, unterminated), with
// the text replaced by another of the same length; the test fails when there is none.
LogPage page_with(const std::vector<uint8_t>& hive, const std::string& text,
                  const std::string& replacement);
