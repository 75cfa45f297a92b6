// The fake shim engine of the report tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "../../shimreport/apphelp_api.h"
#include "../../shimreport/sdb_query_result.h"

// One entry of the fake database: its name and the entries nested in it.
struct FakeEntry {
    bool hasNameTag = true;
    const wchar_t* name = nullptr; // null with a name tag: the tag holds no string
    std::vector<TAGID> layers;
    std::vector<TAGID> shimRefs;
};

// A small in-memory shim engine that answers through WINAPI functions put into ApphelpApi.
// Entries have tag ids that are multiples of 0x10; an entry's name tag is its tag id plus 1.
struct FakeShimEngine {
    HSDB context = reinterpret_cast<HSDB>(0xC0);
    PDB database = reinterpret_cast<PDB>(0xD0);
    std::map<TAGREF, TAGID> resolvable;
    std::map<TAGID, FakeEntry> entries;
    std::vector<unsigned char> written; // what a match or an unpack writes into the buffer
    BOOL answer = TRUE;                 // the result of a match or an unpack
    int throwOnResolve = -1;            // the SdbTagRefToTagID call (from 0) that throws

    // What the tool passed.
    int initCalls = 0;
    DWORD initFlags = 0xFFFFFFFF;
    bool initPathNull = false;
    USHORT imageType = 0;
    int releaseCalls = 0;
    HSDB releasedContext = nullptr;
    int closeCalls = 0;
    int resolveCalls = 0;
    int queryCalls = 0;
    HSDB queryContext = nullptr;
    std::wstring queryPath;
    bool queryExtrasNull = false; // module name, environment and flags all empty
    const void* unpackedData = nullptr;
    int foreignDatabaseUses = 0; // lookups made with a database the engine never handed out
    int guidBufferLength = 0;
};

extern FakeShimEngine Fake;

// Resets the fake and fills ApphelpApi with its entries, marked as loaded.
void InstallFakeEngine();

// Adds an entry that resolves from tagRef and returns its tag id.
void AddEntry(TAGREF tagRef, TAGID tagId, const FakeEntry& entry);

// Makes the engine write the record's bytes, and nothing more, into the result buffer.
template <typename Record> void WriteRecord(const Record& record) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
    Fake.written.assign(bytes, bytes + sizeof record);
}

// A GUID whose fake text is "{" then data1 in decimal then "}".
GUID FakeGuid(unsigned long data1);
