// The inventory's file-system view over the Win32 file calls.
#include "win32_file_view.h"

#include <cwchar>

#include "file_signature.h"

#include "../common/handle_holder.h"
#include "../common/utf8_text.h"
#include "../inspect/redirection_revert.h"

using inventory::DirectoryEntry;
using inventory::FileStatus;

namespace {

// Whether the path is a full path on a drive ("C:\..."), with or without the \\?\ form.
bool OnADrive(const std::wstring& path) {
    const size_t start = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    if (path.size() <= start + 2) {
        return false;
    }
    const wchar_t drive = static_cast<wchar_t>(path[start] | 0x20);
    return drive >= L'a' && drive <= L'z' && path[start + 1] == L':' &&
           (path[start + 2] == L'\\' || path[start + 2] == L'/');
}

// The wide path the file calls take: the \\?\ form once it reaches MAX_PATH. Missing for a
// path that no file can have (an embedded NUL); unreadable for one that is not on a drive,
// since a network path (\\server\share) would make the tool contact that server and a
// device path (\\.\COM1) would open a device.
FileStatus CallPath(const std::string& path, std::wstring& wide) {
    wide = WideFromUtf8(path);
    if (wide.empty() || wide.find(L'\0') != std::wstring::npos) {
        return FileStatus::Missing;
    }
    if (!OnADrive(wide)) {
        return FileStatus::Unreadable;
    }
    if (wide.size() >= MAX_PATH && wide.compare(0, 4, L"\\\\?\\") != 0) {
        wide = L"\\\\?\\" + wide;
    }
    return FileStatus::Ok;
}

FileStatus StatusOfError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return FileStatus::Missing;
    default:
        return FileStatus::Unreadable;
    }
}

// What the path names, without opening it.
FileStatus Attributes(const std::wstring& path, DWORD& attributes) {
    attributes = GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? StatusOfError(GetLastError()) : FileStatus::Ok;
}

// Opens a regular file for reading, sharing it with every other user of it. The folder test
// comes only after a refused open, since each path lookup costs.
FileStatus OpenFile(const std::wstring& path, FileHandleHolder& file) {
    file.Reset(CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL));
    if (!file.Held()) {
        const DWORD error = GetLastError();
        DWORD attributes = 0;
        if (error == ERROR_ACCESS_DENIED && Attributes(path, attributes) == FileStatus::Ok &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return FileStatus::NotAFile;
        }
        return StatusOfError(error);
    }
    return GetFileType(file.Handle()) == FILE_TYPE_DISK ? FileStatus::Ok : FileStatus::NotAFile;
}

} // namespace

Win32FileView::Win32FileView() {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    windowsDirectory_ = Utf8(length > 0 && length < MAX_PATH ? folder : L"C:\\Windows");
}

std::string Win32FileView::windows_directory() const {
    return windowsDirectory_;
}

FileStatus Win32FileView::list_directory(const std::string& path,
                                         std::vector<DirectoryEntry>* entries) const {
    entries->clear();
    std::wstring folder;
    const FileStatus usable = CallPath(path, folder);
    if (usable != FileStatus::Ok) {
        return usable;
    }
    const RedirectionRevert redirection;
    const std::wstring pattern = folder + (folder[folder.size() - 1] == L'\\' ? L"*" : L"\\*");
    WIN32_FIND_DATAW entryData = {};
    FindHandleHolder search(FindFirstFileW(pattern.c_str(), &entryData));
    if (!search.Held()) {
        // What the path names is asked only now, since each lookup costs.
        const DWORD error = GetLastError();
        DWORD attributes = 0;
        const FileStatus found = Attributes(folder, attributes);
        if (found != FileStatus::Ok) {
            return found;
        }
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return FileStatus::NotAFile;
        }
        return error == ERROR_FILE_NOT_FOUND ? FileStatus::Ok : StatusOfError(error);
    }
    do {
        const wchar_t* name = entryData.cFileName;
        if (std::wcscmp(name, L".") != 0 && std::wcscmp(name, L"..") != 0) {
            entries->push_back(DirectoryEntry{
                Utf8(name), (entryData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        }
    } while (FindNextFileW(search.Handle(), &entryData));
    return GetLastError() == ERROR_NO_MORE_FILES ? FileStatus::Ok : FileStatus::Unreadable;
}

FileStatus Win32FileView::read_file(const std::string& path, std::vector<uint8_t>* bytes) const {
    bytes->clear();
    std::wstring wide;
    const FileStatus usable = CallPath(path, wide);
    if (usable != FileStatus::Ok) {
        return usable;
    }
    const RedirectionRevert redirection;
    FileHandleHolder file;
    const FileStatus opened = OpenFile(wide, file);
    if (opened != FileStatus::Ok) {
        return opened;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Handle(), &size) || size.QuadPart > MaximumFileBytes) {
        return FileStatus::Unreadable;
    }
    bytes->resize(static_cast<size_t>(size.QuadPart));
    size_t filled = 0;
    while (filled < bytes->size()) {
        DWORD got = 0;
        if (!ReadFile(file.Handle(), &(*bytes)[filled], static_cast<DWORD>(bytes->size() - filled),
                      &got, NULL)) {
            bytes->clear();
            return FileStatus::Unreadable;
        }
        if (got == 0) {
            break; // shortened since its size was asked: the part that is there
        }
        filled += got;
    }
    bytes->resize(filled);
    return FileStatus::Ok;
}

FileStatus Win32FileView::file_status(const std::string& path) const {
    std::wstring wide;
    const FileStatus usable = CallPath(path, wide);
    if (usable != FileStatus::Ok) {
        return usable;
    }
    const RedirectionRevert redirection;
    FileHandleHolder file;
    return OpenFile(wide, file);
}

sdb::SignatureVerdict Win32FileView::verify_signature(const std::string& path) const {
    std::wstring wide;
    if (CallPath(path, wide) != FileStatus::Ok) {
        sdb::SignatureVerdict verdict;
        verdict.state = sdb::SignatureState::NotVerified;
        verdict.detail = "not a path on a drive";
        return verdict;
    }
    const RedirectionRevert redirection;
    return VerifyFileSignature(wide);
}

inventory::FileTimes Win32FileView::file_times(const std::string& path) const {
    inventory::FileTimes times;
    std::wstring wide;
    if (CallPath(path, wide) != FileStatus::Ok) {
        return times;
    }
    const RedirectionRevert redirection;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        const auto filetime = [](const FILETIME& time) {
            return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
        };
        times.created = filetime(data.ftCreationTime);
        times.modified = filetime(data.ftLastWriteTime);
    }
    return times;
}
