// Loads a DLL from the system directory only.
#include "system_library.h"

#include <string>

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    HMODULE module = LoadLibraryExW(fileName, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != NULL || GetLastError() != ERROR_INVALID_PARAMETER) {
        return module;
    }
    // Systems without the search flags reject it as a parameter.
    wchar_t directory[MAX_PATH];
    UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return NULL;
    }
    std::wstring path(directory, length);
    path += L'\\';
    path += fileName;
    return LoadLibraryW(path.c_str());
}
