// The transaction logs of a registry hive (.LOG1, .LOG2, .LOG) and their replay onto a copy
// of the hive's bytes.
#include "regf_log.h"

#include "regf_header.h"

#include <cstring>

namespace image_inventory {

namespace {

uint32_t load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t load64(const uint8_t* p) {
    return load32(p) | (static_cast<uint64_t>(load32(p + 4)) << 32);
}

void store32(uint8_t* p, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

uint32_t rotate_left(uint32_t value, int count) {
    return (value << count) | (value >> (32 - count));
}

void marvin_block(uint32_t& low, uint32_t& high) {
    high ^= low;
    low = rotate_left(low, 20);
    low += high;
    high = rotate_left(high, 9);
    high ^= low;
    low = rotate_left(low, 27);
    low += high;
    high = rotate_left(high, 19);
}

// The hive's header after a replay: up to date at sequence, bins_size bytes of bins.
void settle_header(std::vector<uint8_t>* hive, uint32_t sequence, uint32_t bins_size) {
    store32(hive->data() + REGF_PRIMARY_SEQUENCE, sequence);
    store32(hive->data() + REGF_SECONDARY_SEQUENCE, sequence);
    store32(hive->data() + REGF_BINS_SIZE, bins_size);
    store32(hive->data() + REGF_CHECKSUM, regf_checksum(hive->data()));
}

LogReplay malformed(const std::string& problem) {
    LogReplay replay;
    replay.problem = problem;
    return replay;
}

// Whether the entry at log[at] is whole and sound; its size in *size.
bool sound_entry(const std::vector<uint8_t>& log, size_t at, size_t* size) {
    if (log.size() - at < HVLE_PAGE_REFERENCES ||
        std::memcmp(log.data() + at + HVLE_SIGNATURE, "HvLE", 4) != 0) {
        return false;
    }
    const uint8_t* entry = log.data() + at;
    *size = load32(entry + HVLE_SIZE);
    uint64_t pages = load32(entry + HVLE_PAGE_COUNT);
    if (*size < HVLE_PAGE_REFERENCES || *size % LOG_SECTOR != 0 || *size > log.size() - at ||
        pages > (*size - HVLE_PAGE_REFERENCES) / HVLE_PAGE_REFERENCE) {
        return false;
    }
    return load64(entry + HVLE_HASH1) == marvin32(entry + HVLE_PAGE_REFERENCES,
                                                  *size - HVLE_PAGE_REFERENCES, HVLE_HASH_SEED) &&
           load64(entry + HVLE_HASH2) == marvin32(entry, HVLE_HASH1 + 8, HVLE_HASH_SEED);
}

// Writes the pages of a sound entry into the hive; false, leaving the hive as it was, when a
// page lies outside the entry or the bins, or the bins would outgrow max_size.
bool apply_entry(const uint8_t* entry, size_t size, size_t max_size, std::vector<uint8_t>* hive) {
    uint64_t bins_size = load32(entry + HVLE_BINS_SIZE);
    if (bins_size % HBIN_ALIGNMENT != 0 || REGF_BASE_BLOCK + bins_size > max_size) {
        return false;
    }
    size_t pages = load32(entry + HVLE_PAGE_COUNT);
    size_t data = HVLE_PAGE_REFERENCES + pages * HVLE_PAGE_REFERENCE;
    // Checked in full first, so that a bad page leaves nothing half written.
    for (size_t check = 0; check < 2; ++check) {
        size_t at = data;
        for (size_t i = 0; i < pages; ++i) {
            const uint8_t* reference = entry + HVLE_PAGE_REFERENCES + i * HVLE_PAGE_REFERENCE;
            uint64_t offset = load32(reference);
            uint64_t length = load32(reference + 4);
            if (length > size - at || offset + length > bins_size) {
                return false;
            }
            if (check == 1) {
                std::memcpy(hive->data() + REGF_BASE_BLOCK + offset, entry + at, length);
            }
            at += length;
        }
        if (check == 0) {
            hive->resize(REGF_BASE_BLOCK + bins_size);
        }
    }
    return true;
}

LogReplay replay_entries(const std::vector<uint8_t>& log, size_t max_size,
                         std::vector<uint8_t>* hive) {
    uint32_t next = load32(hive->data() + REGF_SECONDARY_SEQUENCE);
    LogReplay replay;
    replay.outcome = LogOutcome::Stale;
    bool first = true;
    bool started = false;
    uint32_t bins_size = load32(hive->data() + REGF_BINS_SIZE);
    size_t size = 0;
    for (size_t at = LOG_BASE_BLOCK; at < log.size() && sound_entry(log, at, &size);
         at += size, first = false) {
        const uint8_t* entry = log.data() + at;
        uint32_t sequence = load32(entry + HVLE_SEQUENCE);
        // Entries the hive already holds are passed over; after the first applied, a gap in
        // the numbers ends the log.
        if (!started && sequence - next > 0x7FFFFFFFu) {
            continue;
        }
        if (started && sequence != next) {
            break;
        }
        if (!apply_entry(entry, size, max_size, hive)) {
            if (replay.entries == 0) {
                return malformed("its entry " + std::to_string(sequence) +
                                 " names pages outside the hive");
            }
            break;
        }
        started = true;
        next = sequence + 1;
        bins_size = load32(entry + HVLE_BINS_SIZE);
        ++replay.entries;
        replay.outcome = LogOutcome::Applied;
    }
    if (first) {
        return malformed("no sound entry after its header");
    }
    if (started) {
        settle_header(hive, next, bins_size);
    }
    return replay;
}

LogReplay replay_dirty_vector(const std::vector<uint8_t>& log, std::vector<uint8_t>* hive) {
    // The vector describes the hive as its header stood when the log was written.
    if (load32(log.data() + REGF_PRIMARY_SEQUENCE) !=
        load32(hive->data() + REGF_PRIMARY_SEQUENCE)) {
        LogReplay stale;
        stale.outcome = LogOutcome::Stale;
        return stale;
    }
    uint64_t bins_size = load32(log.data() + REGF_BINS_SIZE);
    if (bins_size % HBIN_ALIGNMENT != 0 || bins_size > hive->size() - REGF_BASE_BLOCK) {
        return malformed("its dirty vector covers bins the hive does not have");
    }
    size_t sectors = bins_size / LOG_SECTOR;
    size_t bitmap_bytes = (sectors + 7) / 8;
    if (log.size() - DIRT_BITMAP < bitmap_bytes) {
        return malformed("its dirty vector is cut short");
    }
    const uint8_t* bitmap = log.data() + DIRT_BITMAP;
    size_t at = (DIRT_BITMAP + bitmap_bytes + LOG_SECTOR - 1) / LOG_SECTOR * LOG_SECTOR;
    size_t dirty = 0;
    for (size_t sector = 0; sector < sectors; ++sector) {
        dirty += (bitmap[sector / 8] >> (sector % 8)) & 1;
    }
    if (at > log.size() || dirty > (log.size() - at) / LOG_SECTOR) {
        return malformed("it holds fewer sectors than its dirty vector names");
    }
    LogReplay replay;
    for (size_t sector = 0; sector < sectors; ++sector) {
        if ((bitmap[sector / 8] >> (sector % 8)) & 1) {
            std::memcpy(hive->data() + REGF_BASE_BLOCK + sector * LOG_SECTOR, log.data() + at,
                        LOG_SECTOR);
            at += LOG_SECTOR;
            ++replay.entries;
        }
    }
    replay.outcome = replay.entries != 0 ? LogOutcome::Applied : LogOutcome::Stale;
    if (replay.entries != 0) {
        settle_header(hive, load32(hive->data() + REGF_PRIMARY_SEQUENCE),
                      static_cast<uint32_t>(bins_size));
    }
    return replay;
}

} // namespace

uint64_t marvin32(const uint8_t* data, size_t size, uint64_t seed) {
    uint32_t low = static_cast<uint32_t>(seed);
    uint32_t high = static_cast<uint32_t>(seed >> 32);
    size_t at = 0;
    for (; size - at >= 4; at += 4) {
        low += load32(data + at);
        marvin_block(low, high);
    }
    // The last one to three bytes, then a 0x80 byte after them.
    uint32_t last = 0x80;
    for (size_t i = size - at; i > 0; --i) {
        last = (last << 8) | data[at + i - 1];
    }
    low += last;
    marvin_block(low, high);
    marvin_block(low, high);
    return (static_cast<uint64_t>(high) << 32) | low;
}

LogReplay replay_log(const std::vector<uint8_t>& log, size_t max_size, std::vector<uint8_t>* hive) {
    if (hive->size() < REGF_BASE_BLOCK) {
        return malformed("the hive has no whole header");
    }
    if (log.size() < DIRT_BITMAP || std::memcmp(log.data() + REGF_SIGNATURE, "regf", 4) != 0) {
        return malformed("no log header");
    }
    if (load32(log.data() + REGF_CHECKSUM) != regf_checksum(log.data())) {
        return malformed("its header checksum does not match");
    }
    if (std::memcmp(log.data() + LOG_BASE_BLOCK, "HvLE", 4) == 0) {
        return replay_entries(log, max_size, hive);
    }
    if (std::memcmp(log.data() + DIRT_SIGNATURE, "DIRT", 4) == 0) {
        return replay_dirty_vector(log, hive);
    }
    return malformed("neither log entries nor a dirty vector after its header");
}

} // namespace image_inventory
