// The engine's call that reads the layers stored for a path.
#include "perm_layers.h"

#include "apphelp_exports.h"
#include "file_paths.h"
#include "registry.h"

#include <cstring>

namespace {

const wchar_t* const LayersKey = APPCOMPAT_KEY L"\\Layers";

} // namespace

bool ReadPermLayers(const wchar_t* path, DWORD flags, std::wstring& layers) {
    std::wstring longPath = LongPathOf(path);
    std::wstring machine, user;
    bool hasMachine = (flags & GPLK_MACHINE) &&
                      ReadRegistryString(HKEY_LOCAL_MACHINE, LayersKey, longPath.c_str(), machine);
    bool hasUser = (flags & GPLK_USER) &&
                   ReadRegistryString(HKEY_CURRENT_USER, LayersKey, longPath.c_str(), user);
    if (hasMachine && hasUser)
        layers = machine + L" " + user;
    else if (hasMachine)
        layers = machine;
    else if (hasUser)
        layers = user;
    return hasMachine || hasUser;
}

// The size is in bytes both ways: on entry the buffer's, on return the string's with its NUL.
// A buffer too small (or none) gets nothing; the size tells what it would need.
BOOL WINAPI SdbGetPermLayerKeys(LPCWSTR path, LPWSTR buffer, DWORD* size, DWORD flags) {
    if (path == nullptr || size == nullptr)
        return FALSE;
    return GuardedCall(FALSE, [&]() -> BOOL {
        std::wstring layers;
        if (!ReadPermLayers(path, flags, layers))
            return FALSE;
        DWORD needed = static_cast<DWORD>((layers.size() + 1) * sizeof(wchar_t));
        bool fits = buffer != nullptr && *size >= needed;
        if (fits)
            std::memcpy(buffer, layers.c_str(), needed);
        *size = needed;
        return fits ? TRUE : FALSE;
    });
}
