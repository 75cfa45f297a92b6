#pragma once

#include "shim_types.h"

// Owns a shim-engine context and releases it once, on every way out of the scope.
class ContextHandleHolder {
public:
    explicit ContextHandleHolder(HSDB handle) : handle_(handle) {}
    ~ContextHandleHolder() { Release(); }
    ContextHandleHolder(const ContextHandleHolder&) = delete;
    ContextHandleHolder& operator=(const ContextHandleHolder&) = delete;

    HSDB Handle() const { return handle_; }

    // Releases a held handle; afterwards the holder holds null.
    void Release();

private:
    HSDB handle_;
};
