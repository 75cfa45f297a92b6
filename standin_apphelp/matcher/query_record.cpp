// Writes and reads the match-result record.
#include "query_record.h"

#include <cstring>

namespace {

std::uint8_t* PutU32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return out + 4;
}

const std::uint8_t* GetU32(const std::uint8_t* in, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(in[i]) << (8 * i);
    return in + 4;
}

bool Contains(const std::uint32_t* values, std::uint32_t count, std::uint32_t value) {
    for (std::uint32_t i = 0; i < count; ++i) {
        if (values[i] == value)
            return true;
    }
    return false;
}

} // namespace

QueryRecord EmptyQueryRecord() {
    QueryRecord record;
    std::memset(&record, 0, sizeof record);
    return record;
}

bool AddExeToRecord(QueryRecord& record, std::uint32_t tagRef, std::uint32_t flags) {
    if (record.exeCount >= MaxExes || Contains(record.exeTagRefs, record.exeCount, tagRef))
        return false;
    record.exeTagRefs[record.exeCount] = tagRef;
    record.exeFlags[record.exeCount] = flags;
    ++record.exeCount;
    return true;
}

bool AddLayerToRecord(QueryRecord& record, std::uint32_t tagRef) {
    if (record.layerCount >= MaxLayers || Contains(record.layerTagRefs, record.layerCount, tagRef))
        return false;
    record.layerTagRefs[record.layerCount++] = tagRef;
    return true;
}

void AddDatabaseToRecord(QueryRecord& record, std::uint32_t number, const std::uint8_t id[16]) {
    if (number >= MaxDatabases)
        return;
    record.customDbMap |= 1u << number;
    std::memcpy(record.databaseIds[number], id, 16);
}

void WriteQueryRecord(const QueryRecord& record, std::uint8_t* out) {
    for (std::uint32_t value : record.exeTagRefs)
        out = PutU32(out, value);
    for (std::uint32_t value : record.exeFlags)
        out = PutU32(out, value);
    for (std::uint32_t value : record.layerTagRefs)
        out = PutU32(out, value);
    out = PutU32(out, record.layerFlags);
    out = PutU32(out, record.apphelpTagRef);
    out = PutU32(out, record.exeCount);
    out = PutU32(out, record.layerCount);
    std::memcpy(out, record.matchId, 16);
    out = PutU32(out + 16, record.flags);
    out = PutU32(out, record.customDbMap);
    std::memcpy(out, record.databaseIds, sizeof record.databaseIds);
}

QueryRecord ReadQueryRecord(const std::uint8_t* in) {
    QueryRecord record;
    for (std::uint32_t& value : record.exeTagRefs)
        in = GetU32(in, value);
    for (std::uint32_t& value : record.exeFlags)
        in = GetU32(in, value);
    for (std::uint32_t& value : record.layerTagRefs)
        in = GetU32(in, value);
    in = GetU32(in, record.layerFlags);
    in = GetU32(in, record.apphelpTagRef);
    in = GetU32(in, record.exeCount);
    in = GetU32(in, record.layerCount);
    std::memcpy(record.matchId, in, 16);
    in = GetU32(in + 16, record.flags);
    in = GetU32(in, record.customDbMap);
    std::memcpy(record.databaseIds, in, sizeof record.databaseIds);
    return record;
}
