// Takes, closes and lends out the database of one printed entry.
#include "database_handle_holder.h"

#include "apphelp_api.h"

void DatabaseHandleTraits::Close(PDB database) {
    if (ApphelpApi.SdbCloseDatabase != NULL) {
        ApphelpApi.SdbCloseDatabase(database);
    }
}

DatabaseHandleHolder::DatabaseHandleHolder() : borrowed_(NULL) {
    EnsureApphelpLoaded();
}

void DatabaseHandleHolder::Take(PDB handle, bool borrowed) {
    Release();
    if (borrowed) {
        borrowed_ = handle;
    } else {
        owned_.Reset(handle);
    }
}

void DatabaseHandleHolder::Release() {
    owned_.Release();
    borrowed_ = NULL;
}
