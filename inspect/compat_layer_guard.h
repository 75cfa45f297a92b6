// A scope without the __COMPAT_LAYER environment variable.
#pragma once

#include <string>

// Removes __COMPAT_LAYER from the process environment for its lifetime and puts back what was
// there: the same value, or nothing when the variable was absent.
class CompatLayerGuard {
public:
    CompatLayerGuard();
    ~CompatLayerGuard();
    CompatLayerGuard(const CompatLayerGuard&) = delete;
    CompatLayerGuard& operator=(const CompatLayerGuard&) = delete;

private:
    bool present;
    std::wstring savedValue;
};
