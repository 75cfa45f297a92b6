#include "registry.h"

namespace {

// Closes an opened key on every way out.
struct KeyHolder {
    HKEY key = nullptr;
    ~KeyHolder() {
        if (key != nullptr)
            RegCloseKey(key);
    }
};

bool OpenKey(HKEY root, const wchar_t* subkey, REGSAM access, KeyHolder& holder) {
    return RegOpenKeyExW(root, subkey, 0, access | RegistryView(), &holder.key) == ERROR_SUCCESS;
}

} // namespace

REGSAM RegistryView() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
}

bool ReadRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* value, std::wstring& out) {
    KeyHolder holder;
    if (!OpenKey(root, subkey, KEY_QUERY_VALUE, holder))
        return false;
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(holder.key, value, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    // One more character than the data, so the text ends even when the data lacks its NUL.
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(holder.key, value, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]),
                         &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    text.resize(wcsnlen(text.c_str(), text.size()));
    out = text;
    return true;
}

bool RegistryValueExists(HKEY root, const wchar_t* subkey, const wchar_t* value) {
    KeyHolder holder;
    return OpenKey(root, subkey, KEY_QUERY_VALUE, holder) &&
           RegQueryValueExW(holder.key, value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::vector<std::wstring> RegistrySubkeys(HKEY root, const wchar_t* subkey) {
    std::vector<std::wstring> names;
    KeyHolder holder;
    if (!OpenKey(root, subkey, KEY_ENUMERATE_SUB_KEYS, holder))
        return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        LONG status =
            RegEnumKeyExW(holder.key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS)
            names.push_back(std::wstring(name, length));
    }
    return names;
}
