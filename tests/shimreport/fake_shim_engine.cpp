// A fake shim engine with one database of nested entries.
#include "fake_shim_engine.h"

#include <cstring>
#include <new>

#include "../../sdb/sdb_tags.h"

#include <gtest/gtest.h>

FakeShimEngine Fake;

namespace {

// No test may load the real library: the one in the test prefix aborts when called.
HMODULE RefuseRealLoad() {
    ADD_FAILURE() << "the real apphelp.dll was about to be loaded";
    return NULL;
}
const bool RealLoadRefused = (LoadApphelpLibrary = RefuseRealLoad, true);

void CheckDatabase(PDB database) {
    if (database != Fake.database) {
        ++Fake.foreignDatabaseUses;
    }
}

const FakeEntry* FindEntry(TAGID tagId) {
    std::map<TAGID, FakeEntry>::const_iterator found = Fake.entries.find(tagId);
    return found == Fake.entries.end() ? nullptr : &found->second;
}

const std::vector<TAGID>* ChildrenOf(TAGID parent, TAG tag) {
    const FakeEntry* entry = FindEntry(parent);
    if (entry == nullptr) {
        return nullptr;
    }
    return tag == sdb::TAG_LAYER      ? &entry->layers
           : tag == sdb::TAG_SHIM_REF ? &entry->shimRefs
                                      : nullptr;
}

HSDB WINAPI FakeInitDatabaseEx(DWORD flags, LPCWSTR path, USHORT imageType) {
    ++Fake.initCalls;
    Fake.initFlags = flags;
    Fake.initPathNull = path == nullptr;
    Fake.imageType = imageType;
    return Fake.context;
}

void WINAPI FakeReleaseDatabase(HSDB context) {
    ++Fake.releaseCalls;
    Fake.releasedContext = context;
}

void WINAPI FakeCloseDatabase(PDB) {
    ++Fake.closeCalls;
}

void WriteAnswer(void* result) {
    std::memcpy(result, Fake.written.data(), Fake.written.size());
}

BOOL WINAPI FakeGetMatchingExe(HSDB context, LPCWSTR path, LPCWSTR moduleName, LPCWSTR environment,
                               DWORD flags, void* result) {
    ++Fake.queryCalls;
    Fake.queryContext = context;
    Fake.queryPath = path;
    Fake.queryExtrasNull = moduleName == nullptr && environment == nullptr && flags == 0;
    WriteAnswer(result);
    return Fake.answer;
}

BOOL WINAPI FakeUnpackAppCompatData(HSDB context, LPCWSTR imageName, PVOID data, void* result) {
    ++Fake.queryCalls;
    Fake.queryContext = context;
    Fake.queryPath = imageName;
    Fake.unpackedData = data;
    WriteAnswer(result);
    return Fake.answer;
}

BOOL WINAPI FakeTagRefToTagID(HSDB context, TAGREF tagRef, PDB* database, TAGID* tagId) {
    if (Fake.resolveCalls++ == Fake.throwOnResolve) {
        throw std::bad_alloc();
    }
    std::map<TAGREF, TAGID>::const_iterator found = Fake.resolvable.find(tagRef);
    if (context != Fake.context || found == Fake.resolvable.end()) {
        // A failing engine may still leave something behind.
        *database = reinterpret_cast<PDB>(0xBAD);
        return FALSE;
    }
    *database = Fake.database;
    *tagId = found->second;
    return TRUE;
}

TAGID WINAPI FakeFindFirstTag(PDB database, TAGID parent, TAG tag) {
    CheckDatabase(database);
    if (tag == sdb::TAG_NAME) {
        const FakeEntry* entry = FindEntry(parent);
        return entry != nullptr && entry->hasNameTag ? parent + 1 : 0;
    }
    const std::vector<TAGID>* children = ChildrenOf(parent, tag);
    return children == nullptr || children->empty() ? 0 : children->front();
}

TAGID WINAPI FakeFindNextTag(PDB database, TAGID parent, TAGID previous) {
    CheckDatabase(database);
    const TAG tags[] = {sdb::TAG_LAYER, sdb::TAG_SHIM_REF};
    for (TAG tag : tags) {
        const std::vector<TAGID>* children = ChildrenOf(parent, tag);
        for (size_t i = 0; children != nullptr && i < children->size(); ++i) {
            if ((*children)[i] == previous) {
                return i + 1 < children->size() ? (*children)[i + 1] : 0;
            }
        }
    }
    return 0;
}

LPWSTR WINAPI FakeGetStringTagPtr(PDB database, TAGID tagId) {
    CheckDatabase(database);
    const FakeEntry* entry = tagId == 0 ? nullptr : FindEntry(tagId - 1);
    return entry == nullptr ? nullptr : const_cast<LPWSTR>(entry->name);
}

BOOL WINAPI FakeGUIDToString(const GUID* guid, LPWSTR buffer, SIZE_T length) {
    Fake.guidBufferLength = int(length);
    std::wstring text = L"{" + std::to_wstring(guid->Data1) + L"}";
    wcsncpy(buffer, text.c_str(), length);
    return TRUE;
}

} // namespace

void InstallFakeEngine() {
    Fake = FakeShimEngine();
    ApphelpApi = ApphelpApiTable();
    ApphelpApi.module = GetModuleHandleW(nullptr);
    ApphelpApi.SdbCloseDatabase = FakeCloseDatabase;
    ApphelpApi.SdbFindFirstTag = FakeFindFirstTag;
    ApphelpApi.SdbFindNextTag = FakeFindNextTag;
    ApphelpApi.SdbGetStringTagPtr = FakeGetStringTagPtr;
    ApphelpApi.SdbUnpackAppCompatData = FakeUnpackAppCompatData;
    ApphelpApi.SdbGUIDToString = FakeGUIDToString;
    ApphelpApi.SdbGetMatchingExe = FakeGetMatchingExe;
    ApphelpApi.SdbInitDatabaseEx = FakeInitDatabaseEx;
    ApphelpApi.SdbReleaseDatabase = FakeReleaseDatabase;
    ApphelpApi.SdbTagRefToTagID = FakeTagRefToTagID;
}

void AddEntry(TAGREF tagRef, TAGID tagId, const FakeEntry& entry) {
    Fake.resolvable[tagRef] = tagId;
    Fake.entries[tagId] = entry;
}

GUID FakeGuid(unsigned long data1) {
    GUID guid = {};
    guid.Data1 = data1;
    return guid;
}
