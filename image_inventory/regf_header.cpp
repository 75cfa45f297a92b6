// The base block at the start of a registry hive file: the fields quillet-image checks.
#include "regf_header.h"

#include <cstddef>
#include <cstring>

namespace image_inventory {

namespace {

uint32_t load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void store32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

} // namespace

uint32_t regf_checksum(const uint8_t* base_block) {
    uint32_t sum = 0;
    for (size_t at = 0; at < REGF_CHECKSUM; at += 4) {
        sum ^= load32(base_block + at);
    }
    return sum;
}

RegfState decode_regf_state(const uint8_t* bytes, size_t size) {
    RegfState state;
    if (size < REGF_BASE_BLOCK || std::memcmp(bytes + REGF_SIGNATURE, "regf", 4) != 0) {
        return state;
    }
    state.signature = true;
    state.dirty = load32(bytes + REGF_PRIMARY_SEQUENCE) != load32(bytes + REGF_SECONDARY_SEQUENCE);
    state.checksum = load32(bytes + REGF_CHECKSUM) == regf_checksum(bytes);
    return state;
}

std::vector<uint8_t> salvage_hive(const std::vector<uint8_t>& bytes) {
    if (!decode_regf_state(bytes.data(), bytes.size()).signature) {
        return {};
    }
    size_t end = REGF_BASE_BLOCK;
    while (end + HBIN_SIZE + 4 <= bytes.size()) {
        const uint8_t* bin = bytes.data() + end;
        uint32_t size = load32(bin + HBIN_SIZE);
        if (std::memcmp(bin + HBIN_SIGNATURE, "hbin", 4) != 0 ||
            load32(bin + HBIN_OFFSET) != end - REGF_BASE_BLOCK || size == 0 ||
            size % HBIN_ALIGNMENT != 0 || size > bytes.size() - end) {
            break;
        }
        end += size;
    }
    if (end == REGF_BASE_BLOCK) {
        return {};
    }
    std::vector<uint8_t> salvaged(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
    store32(salvaged, REGF_BINS_SIZE, static_cast<uint32_t>(end - REGF_BASE_BLOCK));
    store32(salvaged, REGF_SECONDARY_SEQUENCE, load32(salvaged.data() + REGF_PRIMARY_SEQUENCE));
    store32(salvaged, REGF_CHECKSUM, regf_checksum(salvaged.data()));
    return salvaged;
}

std::vector<std::string> regf_state_warnings(const RegfState& state, const std::string& hive) {
    std::vector<std::string> warnings;
    if (!state.signature) {
        warnings.push_back(hive + ": no registry hive header");
        return warnings;
    }
    if (!state.checksum) {
        warnings.push_back(hive + ": the header checksum does not match");
    }
    return warnings;
}

} // namespace image_inventory
