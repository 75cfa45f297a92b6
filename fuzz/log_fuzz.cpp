// libFuzzer target: any bytes as a hive's transaction log, replayed onto a small dirty hive.
#include "regf_header.h"
#include "regf_log.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

const uint32_t BINS_SIZE = 8192;
const size_t MAX_SIZE = 1u << 20;

void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t get32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

// A hive whose write of sequence 5 was not finished: its header, and two bins.
std::vector<uint8_t> dirty_hive() {
    using namespace image_inventory;
    std::vector<uint8_t> hive(REGF_BASE_BLOCK + BINS_SIZE, 0);
    hive[0] = 'r';
    hive[1] = 'e';
    hive[2] = 'g';
    hive[3] = 'f';
    put32(hive, REGF_PRIMARY_SEQUENCE, 6);
    put32(hive, REGF_SECONDARY_SEQUENCE, 5);
    put32(hive, REGF_BINS_SIZE, BINS_SIZE);
    for (uint32_t bin = 0; bin < BINS_SIZE; bin += HBIN_ALIGNMENT) {
        hive[REGF_BASE_BLOCK + bin] = 'h';
        hive[REGF_BASE_BLOCK + bin + 1] = 'b';
        hive[REGF_BASE_BLOCK + bin + 2] = 'i';
        hive[REGF_BASE_BLOCK + bin + 3] = 'n';
        put32(hive, REGF_BASE_BLOCK + bin + HBIN_OFFSET, bin);
        put32(hive, REGF_BASE_BLOCK + bin + HBIN_SIZE, HBIN_ALIGNMENT);
    }
    put32(hive, REGF_CHECKSUM, regf_checksum(hive.data()));
    return hive;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace image_inventory;
    static const std::vector<uint8_t> original = dirty_hive();
    std::vector<uint8_t> hive = original;
    std::vector<uint8_t> log(data, data + size);
    LogReplay replay = replay_log(log, MAX_SIZE, &hive);
    if (hive.size() > MAX_SIZE || (replay.outcome == LogOutcome::Malformed && hive != original) ||
        (replay.outcome == LogOutcome::Malformed && replay.problem.empty())) {
        std::abort();
    }
    // A replayed hive's header says it is up to date, with a checksum that matches.
    if (replay.outcome == LogOutcome::Applied &&
        (get32(hive, REGF_PRIMARY_SEQUENCE) != get32(hive, REGF_SECONDARY_SEQUENCE) ||
         get32(hive, REGF_CHECKSUM) != regf_checksum(hive.data()) ||
         get32(hive, REGF_BINS_SIZE) + REGF_BASE_BLOCK != hive.size())) {
        std::abort();
    }
    return 0;
}
