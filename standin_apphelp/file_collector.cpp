// Collects a file's attributes from its bytes, read at offsets through the file's handle.
#include "file_collector.h"

#include "../common/handle_holder.h"

#include "attribute_reader.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace {

// A file read at offsets with ReadFile; remembers whether a read inside the file failed, so
// that a damaged read is not taken for a short file.
class HandleSource : public ByteSource {
public:
    HandleSource(HANDLE file, std::uint64_t size) : file_(file), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const override {
        if (offset > size_ || length > size_ - offset)
            return false;
        for (std::size_t done = 0; done < length;) {
            const std::uint64_t position = offset + done;
            OVERLAPPED at = {};
            at.Offset = static_cast<DWORD>(position);
            at.OffsetHigh = static_cast<DWORD>(position >> 32);
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(length - done, 1 << 20));
            DWORD got = 0;
            if (!ReadFile(file_, out + done, wanted, &got, &at) || got == 0) {
                failed_ = true;
                return false;
            }
            done += got;
        }
        return true;
    }
    bool Failed() const { return failed_; }

private:
    HANDLE file_;
    std::uint64_t size_;
    mutable bool failed_ = false;
};

} // namespace

bool CollectFileAttributes(const wchar_t* path, FileAttributes& attributes) {
    const FileHandleHolder file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Only files on disk: a device or pipe has no contents to look at.
    LARGE_INTEGER size;
    if (!file.Held() || GetFileType(file.Handle()) != FILE_TYPE_DISK ||
        !GetFileSizeEx(file.Handle(), &size) || size.QuadPart < 0)
        return false;
    HandleSource source(file.Handle(), static_cast<std::uint64_t>(size.QuadPart));
    const HeadCachedSource cached(source);
    FileAttributes read;
    ReadFileAttributes(cached, read);
    if (source.Failed())
        return false;
    attributes = std::move(read);
    return true;
}
