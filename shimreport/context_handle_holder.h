// The holder of a shim-engine context, released through the engine's own entry.
#pragma once

#include "../common/handle_holder.h"
#include "shim_types.h"

// A context is released only while the engine has the entry to release it.
struct ContextHandleTraits {
    typedef HSDB Value;
    static HSDB Empty() { return NULL; }
    static void Close(HSDB context);
};

// Owns a shim-engine context and releases it once, on every way out of the scope.
typedef HandleHolder<ContextHandleTraits> ContextHandleHolder;
