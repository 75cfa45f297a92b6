// Finds a database's file through the engine's AppPatch folder or the custom registrations.
#include "database_location.h"

#include "apphelp_api.h"
#include "missing_entry.h"

namespace {

const wchar_t InstalledDatabasesKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\InstalledSDB\\";

EngineText Given(const std::wstring& text) {
    const EngineText known = {true, text};
    return known;
}

EngineText NotGiven(const std::wstring& why) {
    const EngineText unknown = {false, why};
    return unknown;
}

// A REG_SZ value in one view of the registry, read whole and ended within what was read.
// ERROR_MORE_DATA for a path longer than MAX_PATH, ERROR_FILE_NOT_FOUND for no such text.
LONG ReadPath(const std::wstring& subkey, REGSAM view, std::wstring& path) {
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_QUERY_VALUE | view, &key) !=
        ERROR_SUCCESS) {
        return ERROR_FILE_NOT_FOUND;
    }
    wchar_t text[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH * sizeof(wchar_t);
    const LONG status =
        RegQueryValueExW(key, L"DatabasePath", NULL, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (status == ERROR_MORE_DATA) {
        return status;
    }
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return ERROR_FILE_NOT_FOUND;
    }
    path.assign(text, size / sizeof(wchar_t));
    path.resize(path.find(L'\0') == std::wstring::npos ? path.size() : path.find(L'\0'));
    return ERROR_SUCCESS;
}

} // namespace

EngineText DatabasePathOf(HSDB context, TAGREF tagRef, const EngineText& databaseId) {
    if ((tagRef >> 28) == 0) {
        if (ApphelpApi.SdbGetAppPatchDir == NULL) {
            return NotGiven(MissingEntryText(L"SdbGetAppPatchDir"));
        }
        wchar_t folder[MAX_PATH + 1] = {};
        if (FAILED(ApphelpApi.SdbGetAppPatchDir(context, folder, MAX_PATH))) {
            return NotGiven(L"SdbGetAppPatchDir failed");
        }
        return Given(std::wstring(folder) + L"\\sysmain.sdb");
    }
    if (!databaseId.known) {
        return NotGiven(L"no database GUID to look up");
    }
    // The engine reads the 64-bit view first, where the system keeps its registrations.
    const std::wstring subkey = InstalledDatabasesKey + databaseId.text;
    std::wstring path;
    LONG status = ReadPath(subkey, KEY_WOW64_64KEY, path);
    if (status == ERROR_FILE_NOT_FOUND) {
        status = ReadPath(subkey, KEY_WOW64_32KEY, path);
    }
    if (status == ERROR_SUCCESS) {
        return Given(path);
    }
    return NotGiven(status == ERROR_MORE_DATA ? L"registered path longer than MAX_PATH"
                                              : L"not registered under InstalledSDB");
}
