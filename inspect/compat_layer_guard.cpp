// Clears __COMPAT_LAYER for a scope and puts back what was there.
#include "compat_layer_guard.h"

#include <windows.h>

#include <vector>

namespace {

const wchar_t CompatLayerName[] = L"__COMPAT_LAYER";

} // namespace

CompatLayerGuard::CompatLayerGuard() : present(false) {
    const DWORD needed = GetEnvironmentVariableW(CompatLayerName, NULL, 0);
    if (needed == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return;
    }
    present = true;
    if (needed > 0) {
        std::vector<wchar_t> value(needed, L'\0');
        GetEnvironmentVariableW(CompatLayerName, &value[0], needed);
        savedValue = &value[0];
    }
    SetEnvironmentVariableW(CompatLayerName, NULL);
}

CompatLayerGuard::~CompatLayerGuard() {
    if (present) {
        SetEnvironmentVariableW(CompatLayerName, savedValue.c_str());
    }
}
