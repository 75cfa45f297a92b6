// Releases a held shim-engine context through apphelp.dll.
#include "context_handle_holder.h"

#include "apphelp_api.h"

void ContextHandleTraits::Close(HSDB context) {
    if (ApphelpApi.SdbReleaseDatabase != NULL) {
        ApphelpApi.SdbReleaseDatabase(context);
    }
}
