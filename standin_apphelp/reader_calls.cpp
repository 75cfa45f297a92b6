// The engine's database reading calls: open, close, navigation and typed reads.
#include "apphelp_exports.h"

#include "file_paths.h"
#include "handles.h"

#include "sdb_reader.h"

#include <cstring>
#include <map>
#include <string>

namespace {

// Wide names of every known tag, built once.
std::map<TAG, std::wstring> BuildTagNames() {
    std::map<TAG, std::wstring> names;
    for (DWORD tag = 0; tag <= 0xFFFF; ++tag) {
        const char* name = sdb::tag_name(static_cast<TAG>(tag));
        if (name != nullptr)
            names[static_cast<TAG>(tag)] = std::wstring(name, name + std::strlen(name));
    }
    return names;
}

} // namespace

PDB WINAPI SdbOpenDatabase(LPCWSTR path, PATH_TYPE) {
    if (path == nullptr)
        return nullptr;
    return GuardedCall<PDB>(nullptr, [&]() -> PDB {
        sdb::DatabasePtr reader = sdb::open_database_file(DosPathOf(path).c_str());
        if (!reader)
            return nullptr;
        return NewReaderHandle(std::move(reader), false).release();
    });
}

// A PDB that belongs to a context is closed with the context, never here.
void WINAPI SdbCloseDatabase(PDB pdb) {
    DatabaseHandle* handle = static_cast<DatabaseHandle*>(pdb);
    if (ReaderOf(pdb) == nullptr || handle->ownedByContext)
        return;
    handle->magic = 0;
    delete handle;
}

BOOL WINAPI SdbGetDatabaseVersion(LPCWSTR path, LPDWORD major, LPDWORD minor) {
    PDB pdb = SdbOpenDatabase(path, DOS_PATH);
    const sdb::Database* db = ReaderOf(pdb);
    if (db == nullptr)
        return FALSE;
    if (major != nullptr)
        *major = sdb::database_major(*db);
    if (minor != nullptr)
        *minor = sdb::database_minor(*db);
    SdbCloseDatabase(pdb);
    return TRUE;
}

TAG WINAPI SdbGetTagFromTagID(PDB pdb, TAGID tagId) {
    const sdb::Database* db = ReaderOf(pdb);
    return db == nullptr ? 0 : sdb::get_tag(*db, tagId);
}

LPCWSTR WINAPI SdbTagToString(TAG tag) {
    return GuardedCall<LPCWSTR>(L"InvalidTag", [&]() -> LPCWSTR {
        static const std::map<TAG, std::wstring> names = BuildTagNames();
        auto found = names.find(tag);
        return found == names.end() ? L"InvalidTag" : found->second.c_str();
    });
}

TAGID WINAPI SdbFindFirstTag(PDB pdb, TAGID parent, TAG tag) {
    const sdb::Database* db = ReaderOf(pdb);
    return db == nullptr ? 0 : sdb::find_first_tag(*db, parent, tag);
}

TAGID WINAPI SdbFindNextTag(PDB pdb, TAGID parent, TAGID previous) {
    const sdb::Database* db = ReaderOf(pdb);
    return db == nullptr ? 0 : sdb::find_next_tag(*db, parent, previous);
}

TAGID WINAPI SdbGetFirstChild(PDB pdb, TAGID parent) {
    const sdb::Database* db = ReaderOf(pdb);
    return db == nullptr ? 0 : sdb::get_first_child(*db, parent);
}

TAGID WINAPI SdbGetNextChild(PDB pdb, TAGID parent, TAGID previous) {
    const sdb::Database* db = ReaderOf(pdb);
    return db == nullptr ? 0 : sdb::get_next_child(*db, parent, previous);
}

// The text stays inside the open database: callers read it in place.
LPWSTR WINAPI SdbGetStringTagPtr(PDB pdb, TAGID tagId) {
    const sdb::Database* db = ReaderOf(pdb);
    if (db == nullptr || tagId == 0)
        return nullptr;
    return const_cast<LPWSTR>(AsWide(sdb::get_string_ptr(*db, tagId)));
}

WORD WINAPI SdbReadWORDTag(PDB pdb, TAGID tagId, WORD fallback) {
    const sdb::Database* db = ReaderOf(pdb);
    return db == nullptr ? fallback : sdb::read_word(*db, tagId, fallback);
}

DWORD WINAPI SdbReadDWORDTag(PDB pdb, TAGID tagId, DWORD fallback) {
    const sdb::Database* db = ReaderOf(pdb);
    return db == nullptr ? fallback : sdb::read_dword(*db, tagId, fallback);
}

ULONGLONG WINAPI SdbReadQWORDTag(PDB pdb, TAGID tagId, ULONGLONG fallback) {
    const sdb::Database* db = ReaderOf(pdb);
    return db == nullptr ? fallback : sdb::read_qword(*db, tagId, fallback);
}

DWORD WINAPI SdbGetTagDataSize(PDB pdb, TAGID tagId) {
    const sdb::Database* db = ReaderOf(pdb);
    return db == nullptr ? 0 : sdb::get_data_size(*db, tagId);
}

void* WINAPI SdbGetBinaryTagData(PDB pdb, TAGID tagId) {
    const sdb::Database* db = ReaderOf(pdb);
    uint32_t size = 0;
    return db == nullptr ? nullptr : const_cast<uint8_t*>(sdb::get_binary_ptr(*db, tagId, &size));
}

HMODULE WINAPI SdbOpenApphelpResourceFile(LPCWSTR) {
    return nullptr;
}
