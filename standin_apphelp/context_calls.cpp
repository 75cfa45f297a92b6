// The engine's context calls: open, release, tag references, the patch folder.
#include "apphelp_exports.h"

#include "context_loading.h"
#include "file_paths.h"
#include "handles.h"

#include "tag_ref.h"

#include <cstring>

namespace {

const sdb::Database* ResolveTagRef(Context* context, TAGREF tagRef, DatabaseHandle** handle) {
    if (context == nullptr || TagRefDatabase(tagRef) >= context->databases.size())
        return nullptr;
    *handle = context->databases[TagRefDatabase(tagRef)].handle.get();
    return (*handle)->reader.get();
}

} // namespace

// Never fails for want of databases: a context without any matches nothing.
HSDB WINAPI SdbInitDatabaseEx(DWORD flags, LPCWSTR path, USHORT imageType) {
    return GuardedCall<HSDB>(nullptr, [&]() -> HSDB {
        std::unique_ptr<Context> context(new Context());
        context->magic = ContextMagic;
        context->imageType = imageType;
        if (flags & HID_NO_DATABASE)
            return context.release();
        if (path != nullptr) {
            AddDatabaseFile(*context, DosPathOf(path), std::wstring());
            return context.release();
        }
        bool predefined = (flags & SDB_DATABASE_PREDEFINED) != 0;
        if (!predefined || (flags & (SDB_DATABASE_PREDEFINED | SDB_DATABASE_SELECTOR_MASK)) ==
                               SDB_DATABASE_MAIN_SHIM)
            LoadInstalledDatabases(*context);
        return context.release();
    });
}

void WINAPI SdbReleaseDatabase(HSDB hsdb) {
    Context* context = ContextOf(hsdb);
    if (context == nullptr)
        return;
    context->magic = 0;
    for (ContextDatabase& database : context->databases)
        database.handle->magic = 0;
    delete context;
}

BOOL WINAPI SdbTagRefToTagID(HSDB hsdb, TAGREF tagRef, PDB* pdb, TAGID* tagId) {
    DatabaseHandle* handle = nullptr;
    const sdb::Database* db = ResolveTagRef(ContextOf(hsdb), tagRef, &handle);
    TAGID id = TagRefTagId(tagRef);
    // A reference designates an item: the root (0) is none.
    if (db == nullptr || sdb::get_tag(*db, id) == 0)
        return FALSE;
    if (pdb != nullptr)
        *pdb = handle;
    if (tagId != nullptr)
        *tagId = id;
    return TRUE;
}

TAGREF WINAPI SdbFindFirstTagRef(HSDB hsdb, TAGREF parent, TAG tag) {
    DatabaseHandle* handle = nullptr;
    const sdb::Database* db = ResolveTagRef(ContextOf(hsdb), parent, &handle);
    if (db == nullptr)
        return 0;
    TAGID found = sdb::find_first_tag(*db, TagRefTagId(parent), tag);
    return found == 0 ? 0 : MakeTagRef(TagRefDatabase(parent), found);
}

TAGREF WINAPI SdbFindNextTagRef(HSDB hsdb, TAGREF parent, TAGREF previous) {
    DatabaseHandle* handle = nullptr;
    const sdb::Database* db = ResolveTagRef(ContextOf(hsdb), parent, &handle);
    if (db == nullptr || TagRefDatabase(previous) != TagRefDatabase(parent))
        return 0;
    TAGID found = sdb::find_next_tag(*db, TagRefTagId(parent), TagRefTagId(previous));
    return found == 0 ? 0 : MakeTagRef(TagRefDatabase(parent), found);
}

HRESULT WINAPI SdbGetAppPatchDir(HSDB, LPWSTR path, DWORD size) {
    if (path == nullptr || size == 0)
        return E_INVALIDARG;
    std::wstring folder = GuardedCall(std::wstring(), [] { return WindowsPath(L"AppPatch"); });
    if (folder.empty() || folder.size() >= size)
        return E_NOT_SUFFICIENT_BUFFER;
    std::memcpy(path, folder.c_str(), (folder.size() + 1) * sizeof(wchar_t));
    return S_OK;
}
