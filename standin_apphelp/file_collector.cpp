#include "file_collector.h"

#include "file_holder.h"

#include "file_checksum.h"
#include "pe_image.h"
#include "version_attributes.h"

#include <windows.h>

namespace {

struct MappingHolder {
    HANDLE mapping = nullptr;
    const void* view = nullptr;
    ~MappingHolder() {
        if (view != nullptr)
            UnmapViewOfFile(view);
        if (mapping != nullptr)
            CloseHandle(mapping);
    }
};

// Files are mapped whole for the header walk; larger ones than this keep only their size.
const LONGLONG MaxMappedSize = 512LL * 1024 * 1024;

} // namespace

bool CollectFileAttributes(const wchar_t* path, FileAttributes& attributes) {
    FileHolder file;
    file.handle =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Only files on disk: a device or pipe has no contents to look at.
    LARGE_INTEGER size;
    if (file.handle == INVALID_HANDLE_VALUE || GetFileType(file.handle) != FILE_TYPE_DISK ||
        !GetFileSizeEx(file.handle, &size))
        return false;
    if (size.QuadPart <= 0xFFFFFFFFLL)
        attributes.numbers[sdb::TAG_SIZE] = static_cast<std::uint64_t>(size.QuadPart);
    if (size.QuadPart == 0) {
        attributes.numbers[sdb::TAG_CHECKSUM] = 0;
        attributes.numbers[sdb::TAG_MODULE_TYPE] = ModuleUnknown;
        return true;
    }
    if (size.QuadPart > MaxMappedSize)
        return true;
    MappingHolder mapping;
    mapping.mapping = CreateFileMappingW(file.handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping.mapping != nullptr)
        mapping.view = MapViewOfFile(mapping.mapping, FILE_MAP_READ, 0, 0, 0);
    if (mapping.view == nullptr)
        return true;
    ByteView bytes{static_cast<const std::uint8_t*>(mapping.view),
                   static_cast<std::size_t>(size.QuadPart)};
    attributes.numbers[sdb::TAG_CHECKSUM] = FileChecksum(bytes);
    AddImageAttributes(bytes, attributes);
    std::uint64_t type = attributes.numbers[sdb::TAG_MODULE_TYPE];
    if (type == ModulePe || type == ModuleNe)
        AddVersionAttributes(path, attributes);
    return true;
}
