// The match-result record and its layout.
#pragma once

#include <cstddef>
#include <cstdint>

// The match-result record the engine hands to its callers, in its 456-byte layout.
const std::size_t QueryRecordSize = 456;
const std::uint32_t MaxExes = 16;
const std::uint32_t MaxLayers = 8;
const std::uint32_t MaxDatabases = 16;

// Result flag: the process environment's layer variable contributed.
const std::uint32_t ResultFlagEnvironmentLayers = 0x1;

struct QueryRecord {
    std::uint32_t exeTagRefs[MaxExes];
    std::uint32_t exeFlags[MaxExes];
    std::uint32_t layerTagRefs[MaxLayers];
    std::uint32_t layerFlags;
    std::uint32_t apphelpTagRef;
    std::uint32_t exeCount;
    std::uint32_t layerCount;
    std::uint8_t matchId[16];
    std::uint32_t flags;
    std::uint32_t customDbMap;
    std::uint8_t databaseIds[MaxDatabases][16];
};

// A record with nothing in it: every count, slot and unused GUID zero.
QueryRecord EmptyQueryRecord();

// Adds an exe reference unless it is already there or the slots are full; false then.
bool AddExeToRecord(QueryRecord& record, std::uint32_t tagRef, std::uint32_t flags);

// Adds a layer reference unless it is already there or the slots are full; false then.
bool AddLayerToRecord(QueryRecord& record, std::uint32_t tagRef);

// Marks database `number` as having contributed, with its identifier.
void AddDatabaseToRecord(QueryRecord& record, std::uint32_t number, const std::uint8_t id[16]);

// Writes the record in its byte layout, little-endian, exactly QueryRecordSize bytes.
void WriteQueryRecord(const QueryRecord& record, std::uint8_t* out);

// Reads a record from its byte layout (QueryRecordSize bytes), as it stands.
QueryRecord ReadQueryRecord(const std::uint8_t* in);
