// Path forms: long, DOS, file name, folder and Windows folder paths.
#include "file_paths.h"

#include <windows.h>

std::wstring LongPathOf(const wchar_t* path) {
    DWORD length = GetLongPathNameW(path, nullptr, 0);
    if (length == 0)
        return path;
    std::wstring longPath(length, L'\0');
    DWORD written = GetLongPathNameW(path, &longPath[0], length);
    if (written == 0 || written >= length)
        return path;
    longPath.resize(written);
    return longPath;
}

std::wstring DosPathOf(const wchar_t* path) {
    std::wstring text(path);
    if (text.compare(0, 4, L"\\??\\") == 0)
        text.erase(0, 4);
    return text;
}

std::wstring FileNameOf(const std::wstring& path) {
    std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

std::wstring FolderOf(const std::wstring& path) {
    std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

std::wstring WindowsPath(const wchar_t* relative) {
    wchar_t folder[MAX_PATH];
    UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring(L"C:\\Windows\\") + relative;
    std::wstring path(folder, length);
    if (path.back() != L'\\')
        path += L'\\';
    return path + relative;
}
