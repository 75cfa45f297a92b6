// Collects a file's attributes from its bytes, read at offsets through the file's handle.
#include "file_collector.h"

#include "../common/handle_holder.h"

#include "attribute_reader.h"

#include <windows.h>

#include <algorithm>

namespace {

// A file read at offsets with ReadFile.
class HandleSource : public PositionedFileSource {
public:
    HandleSource(HANDLE file, std::uint64_t size) : PositionedFileSource(size), file_(file) {}

protected:
    std::size_t ReadChunk(std::uint64_t offset, std::size_t length,
                          std::uint8_t* out) const override {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(length, 1 << 20));
        DWORD got = 0;
        return ReadFile(file_, out, wanted, &got, &at) ? got : 0;
    }

private:
    HANDLE file_;
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
    const HandleSource source(file.Handle(), static_cast<std::uint64_t>(size.QuadPart));
    return ReadFileAttributesOf(source, attributes);
}
