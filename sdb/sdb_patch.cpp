// The records of PATCH_BITS, decoded from bytes.
#include "sdb_patch.h"

#include "sdb_image.h"

namespace sdb {

std::vector<PatchRecord> decode_patch_bits(const uint8_t* data, uint32_t size, bool* complete) {
    std::vector<PatchRecord> records;
    *complete = false;
    uint32_t at = 0;
    // Only the opcode is needed to see the end record, which may be shorter than a header.
    while (size - at >= 4) {
        const uint8_t* p = data + at;
        uint32_t opcode = load32(p + PATCH_RECORD_OPCODE);
        if (opcode == PATCH_END) {
            *complete = true;
            return records;
        }
        if (size - at < PATCH_RECORD_HEADER) {
            return records;
        }
        uint32_t record_size = load32(p + PATCH_RECORD_SIZE);
        uint32_t pattern_size = load32(p + PATCH_RECORD_PATTERN_SIZE);
        if (record_size > size - at || pattern_size > record_size ||
            record_size - pattern_size < PATCH_RECORD_HEADER) {
            return records;
        }
        PatchRecord record;
        record.offset = at;
        record.opcode = opcode;
        record.rva = load32(p + PATCH_RECORD_RVA);
        record.pattern_size = pattern_size;
        for (uint32_t i = 0; i < PATCH_RECORD_MODULE_UNITS; ++i) {
            char16_t unit = load16(p + PATCH_RECORD_MODULE + 2 * i);
            if (unit == 0) {
                break;
            }
            record.module.push_back(unit);
        }
        records.push_back(record);
        at += record_size;
    }
    // Data that ends without an end record is whole when nothing is left over.
    *complete = at == size;
    return records;
}

std::string patch_opcode_text(uint32_t opcode) {
    switch (opcode) {
    case PATCH_REPLACE:
        return "replace";
    case PATCH_MATCH:
        return "match";
    default:
        return "opcode " + std::to_string(opcode);
    }
}

} // namespace sdb
