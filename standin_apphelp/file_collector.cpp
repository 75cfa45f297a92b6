// Collects a file's attributes from its bytes and its version resource.
#include "file_collector.h"

#include "../common/handle_holder.h"

#include "file_checksum.h"
#include "pe_image.h"
#include "version_attributes.h"

#include <windows.h>

namespace {

struct MappedViewTraits {
    typedef const void* Value;
    static const void* Empty() { return nullptr; }
    static void Close(const void* view) { UnmapViewOfFile(view); }
};

// Files are mapped whole for the header walk; larger ones than this keep only their size.
const LONGLONG MaxMappedSize = 512LL * 1024 * 1024;

} // namespace

bool CollectFileAttributes(const wchar_t* path, FileAttributes& attributes) {
    const FileHandleHolder file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Only files on disk: a device or pipe has no contents to look at.
    LARGE_INTEGER size;
    if (!file.Held() || GetFileType(file.Handle()) != FILE_TYPE_DISK ||
        !GetFileSizeEx(file.Handle(), &size))
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
    // Declared after the mapping, the view is unmapped before the mapping is closed.
    const KernelHandleHolder mapping(
        CreateFileMappingW(file.Handle(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    const HandleHolder<MappedViewTraits> view(
        mapping.Held() ? MapViewOfFile(mapping.Handle(), FILE_MAP_READ, 0, 0, 0) : nullptr);
    if (!view.Held())
        return true;
    ByteView bytes{static_cast<const std::uint8_t*>(view.Handle()),
                   static_cast<std::size_t>(size.QuadPart)};
    attributes.numbers[sdb::TAG_CHECKSUM] = FileChecksum(bytes);
    AddImageAttributes(bytes, attributes);
    std::uint64_t type = attributes.numbers[sdb::TAG_MODULE_TYPE];
    if (type == ModulePe || type == ModuleNe)
        AddVersionAttributes(path, attributes);
    return true;
}
