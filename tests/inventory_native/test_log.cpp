// Transaction logs for the tests, written by hand from the public layout of both formats.
#include "test_log.h"

#include "regf_log.h"
#include "test_hive.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The layout, spelled out here rather than taken from the code under test.
const size_t FILE_TYPE = 28;
const size_t BINS_SIZE = 40;
const size_t CHECKSUM = 508;
const size_t BASE_BLOCK = 4096;
const size_t LOG_HEADER = 512;
const uint32_t NEW_LOG_TYPE = 6;
const uint32_t OLD_LOG_TYPE = 1;
const uint64_t HASH_SEED = 0x82EF4D887A4E55C5ull;

void put32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void put64(std::vector<uint8_t>* bytes, size_t at, uint64_t value) {
    put32(bytes, at, static_cast<uint32_t>(value));
    put32(bytes, at + 4, static_cast<uint32_t>(value >> 32));
}

void fix_checksum(std::vector<uint8_t>* block) {
    uint32_t sum = 0;
    for (size_t at = 0; at < CHECKSUM; at += 4) {
        sum ^= hive_field(*block, at);
    }
    put32(block, CHECKSUM, sum);
}

std::vector<uint8_t> log_header(const std::vector<uint8_t>& hive, uint32_t type) {
    std::vector<uint8_t> log(hive.begin(), hive.begin() + LOG_HEADER);
    put32(&log, FILE_TYPE, type);
    fix_checksum(&log);
    return log;
}

} // namespace

uint32_t hive_field(const std::vector<uint8_t>& hive, size_t offset) {
    return static_cast<uint32_t>(hive[offset]) | (static_cast<uint32_t>(hive[offset + 1]) << 8) |
           (static_cast<uint32_t>(hive[offset + 2]) << 16) |
           (static_cast<uint32_t>(hive[offset + 3]) << 24);
}

void set_hive_field(std::vector<uint8_t>* hive, size_t offset, uint32_t value) {
    put32(hive, offset, value);
    fix_checksum(hive);
}

std::vector<uint8_t> entries_log(const std::vector<uint8_t>& hive, uint32_t sequence,
                                 const std::vector<std::vector<LogPage>>& entries) {
    std::vector<uint8_t> log = log_header(hive, NEW_LOG_TYPE);
    for (const std::vector<LogPage>& pages : entries) {
        size_t size = 40 + 8 * pages.size();
        for (const LogPage& page : pages) {
            size += page.bytes.size();
        }
        size = (size + 511) / 512 * 512;
        std::vector<uint8_t> entry(size, 0);
        std::copy_n("HvLE", 4, entry.begin());
        put32(&entry, 4, static_cast<uint32_t>(size));
        put32(&entry, 12, sequence++);
        put32(&entry, 16, hive_field(hive, BINS_SIZE));
        put32(&entry, 20, static_cast<uint32_t>(pages.size()));
        size_t data = 40 + 8 * pages.size();
        for (size_t i = 0; i < pages.size(); ++i) {
            put32(&entry, 40 + 8 * i, pages[i].offset);
            put32(&entry, 44 + 8 * i, static_cast<uint32_t>(pages[i].bytes.size()));
            std::copy(pages[i].bytes.begin(), pages[i].bytes.end(), entry.begin() + data);
            data += pages[i].bytes.size();
        }
        put64(&entry, 24, image_inventory::marvin32(entry.data() + 40, size - 40, HASH_SEED));
        put64(&entry, 32, image_inventory::marvin32(entry.data(), 32, HASH_SEED));
        log.insert(log.end(), entry.begin(), entry.end());
    }
    return log;
}

std::vector<uint8_t> dirty_vector_log(const std::vector<uint8_t>& hive,
                                      const std::vector<LogPage>& pages) {
    std::vector<uint8_t> log = log_header(hive, OLD_LOG_TYPE);
    size_t sectors = hive_field(hive, BINS_SIZE) / 512;
    std::vector<uint8_t> bitmap((sectors + 7) / 8, 0);
    std::vector<std::pair<size_t, const uint8_t*>> dirty;
    for (const LogPage& page : pages) {
        for (size_t at = 0; at < page.bytes.size(); at += 512) {
            size_t sector = (page.offset + at) / 512;
            bitmap[sector / 8] = static_cast<uint8_t>(bitmap[sector / 8] | (1 << (sector % 8)));
            dirty.push_back({sector, page.bytes.data() + at});
        }
    }
    std::sort(dirty.begin(), dirty.end());
    log.insert(log.end(), {'D', 'I', 'R', 'T'});
    log.insert(log.end(), bitmap.begin(), bitmap.end());
    log.resize((log.size() + 511) / 512 * 512, 0);
    for (const auto& sector : dirty) {
        log.insert(log.end(), sector.second, sector.second + 512);
    }
    return log;
}

LogPage page_with(const std::vector<uint8_t>& hive, const std::string& text,
                  const std::string& replacement) {
    std::vector<uint8_t> wanted = utf16(text, false);
    auto found = std::search(hive.begin() + BASE_BLOCK, hive.end(), wanted.begin(), wanted.end());
    EXPECT_NE(found, hive.end()) << text;
    if (found == hive.end()) {
        return {0, {}};
    }
    size_t at = static_cast<size_t>(found - hive.begin()) - BASE_BLOCK;
    size_t page = at / 4096 * 4096;
    LogPage result{
        static_cast<uint32_t>(page),
        std::vector<uint8_t>(hive.begin() + static_cast<std::ptrdiff_t>(BASE_BLOCK + page),
                             hive.begin() + static_cast<std::ptrdiff_t>(BASE_BLOCK + page + 4096))};
    std::vector<uint8_t> replaced = utf16(replacement, false);
    std::copy(replaced.begin(), replaced.end(), result.bytes.begin() + (at - page));
    return result;
}
