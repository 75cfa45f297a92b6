#include "database_handle_holder.h"

#include "apphelp_api.h"

DatabaseHandleHolder::DatabaseHandleHolder() : handle_(NULL), borrowed_(false) {
    EnsureApphelpLoaded();
}

void DatabaseHandleHolder::Take(PDB handle, bool borrowed) {
    Release();
    handle_ = handle;
    borrowed_ = borrowed;
}

void DatabaseHandleHolder::Release() {
    if (handle_ != NULL && !borrowed_ && ApphelpApi.SdbCloseDatabase != NULL) {
        ApphelpApi.SdbCloseDatabase(handle_);
    }
    handle_ = NULL;
    borrowed_ = false;
}
