// Reads the compatibility settings from both registry views.
#include "registry.h"

#include "../common/handle_holder.h"

namespace {

struct KeyTraits {
    typedef HKEY Value;
    static HKEY Empty() { return nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
typedef HandleHolder<KeyTraits> KeyHolder;

// The views to read, in order: on a 64-bit system the 64-bit one first, then the 32-bit one;
// a 32-bit system has only the one.
std::vector<REGSAM> RegistryViews() {
    BOOL wow64 = FALSE;
    bool system64 = sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    if (system64)
        return {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    return {0};
}

bool OpenKey(HKEY root, const wchar_t* subkey, REGSAM access, KeyHolder& holder) {
    return RegOpenKeyExW(root, subkey, 0, access, holder.Receive()) == ERROR_SUCCESS;
}

bool ReadStringInView(HKEY root, const wchar_t* subkey, const wchar_t* value, REGSAM view,
                      std::wstring& out) {
    KeyHolder holder;
    if (!OpenKey(root, subkey, KEY_QUERY_VALUE | view, holder))
        return false;
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(holder.Handle(), value, nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    // One more character than the data, so the text ends even when the data lacks its NUL.
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(holder.Handle(), value, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]),
                         &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    text.resize(wcsnlen(text.c_str(), text.size()));
    out = text;
    return true;
}

bool ContainsNoCase(const std::vector<std::wstring>& names, const wchar_t* name) {
    for (const std::wstring& known : names) {
        if (_wcsicmp(known.c_str(), name) == 0)
            return true;
    }
    return false;
}

void AddSubkeysInView(HKEY root, const wchar_t* subkey, REGSAM view,
                      std::vector<std::wstring>& names) {
    KeyHolder holder;
    if (!OpenKey(root, subkey, KEY_ENUMERATE_SUB_KEYS | view, holder))
        return;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        LONG status = RegEnumKeyExW(holder.Handle(), index, name, &length, nullptr, nullptr,
                                    nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS && !ContainsNoCase(names, name))
            names.push_back(std::wstring(name, length));
    }
}

} // namespace

bool ReadRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* value, std::wstring& out) {
    for (REGSAM view : RegistryViews()) {
        if (ReadStringInView(root, subkey, value, view, out))
            return true;
    }
    return false;
}

bool RegistryValueExists(HKEY root, const wchar_t* subkey, const wchar_t* value) {
    for (REGSAM view : RegistryViews()) {
        KeyHolder holder;
        if (OpenKey(root, subkey, KEY_QUERY_VALUE | view, holder) &&
            RegQueryValueExW(holder.Handle(), value, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS)
            return true;
    }
    return false;
}

std::vector<std::wstring> RegistrySubkeys(HKEY root, const wchar_t* subkey) {
    std::vector<std::wstring> names;
    for (REGSAM view : RegistryViews())
        AddSubkeysInView(root, subkey, view, names);
    return names;
}
