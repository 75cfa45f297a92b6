#include "context_handle_holder.h"

#include "apphelp_api.h"

void ContextHandleHolder::Release() {
    if (handle_ != NULL && ApphelpApi.SdbReleaseDatabase != NULL) {
        ApphelpApi.SdbReleaseDatabase(handle_);
    }
    handle_ = NULL;
}
