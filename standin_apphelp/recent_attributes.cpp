// Keeps the attributes of the last files collected, keyed by path and the file's identity.
#include "recent_attributes.h"

#include "../common/handle_holder.h"

#include "file_collector.h"

#include <windows.h>

#include <deque>
#include <string>

namespace {

// What tells that a file is still the one collected.
struct FileStamp {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    DWORD sizeHigh;
    DWORD sizeLow;
    FILETIME written;
};

struct RecentFile {
    std::wstring path;
    FileStamp stamp;
    FileAttributes attributes;
};

// A match looks at the program and a few files beside it.
const std::size_t KeptFiles = 8;

SRWLOCK Lock = SRWLOCK_INIT;

std::deque<RecentFile>& Recent() {
    static std::deque<RecentFile> files;
    return files;
}

bool StampOf(const wchar_t* path, FileStamp& stamp) {
    const FileHandleHolder file(CreateFileW(
        path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!file.Held() || !GetFileInformationByHandle(file.Handle(), &information))
        return false;
    stamp = FileStamp{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                      information.nFileIndexLow,        information.nFileSizeHigh,
                      information.nFileSizeLow,         information.ftLastWriteTime};
    return true;
}

bool SameStamp(const FileStamp& left, const FileStamp& right) {
    return left.volume == right.volume && left.indexHigh == right.indexHigh &&
           left.indexLow == right.indexLow && left.sizeHigh == right.sizeHigh &&
           left.sizeLow == right.sizeLow && CompareFileTime(&left.written, &right.written) == 0;
}

bool FindRecent(const std::wstring& path, const FileStamp& stamp, FileAttributes& attributes) {
    AcquireSRWLockShared(&Lock);
    bool found = false;
    for (const RecentFile& recent : Recent()) {
        if (recent.path == path && SameStamp(recent.stamp, stamp)) {
            attributes = recent.attributes;
            found = true;
            break;
        }
    }
    ReleaseSRWLockShared(&Lock);
    return found;
}

void KeepRecent(const std::wstring& path, const FileStamp& stamp,
                const FileAttributes& attributes) {
    AcquireSRWLockExclusive(&Lock);
    Recent().push_front(RecentFile{path, stamp, attributes});
    if (Recent().size() > KeptFiles)
        Recent().pop_back();
    ReleaseSRWLockExclusive(&Lock);
}

} // namespace

bool RecentFileAttributes(const wchar_t* path, FileAttributes& attributes) {
    FileStamp stamp;
    const bool stamped = StampOf(path, stamp);
    if (stamped && FindRecent(path, stamp, attributes))
        return true;
    if (!CollectFileAttributes(path, attributes))
        return false;
    if (stamped)
        KeepRecent(path, stamp, attributes);
    return true;
}
