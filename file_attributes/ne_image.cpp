// Reads the module name and the description of a 16-bit (NE) executable.
#include "ne_image.h"

#include <vector>

namespace {

// Offsets in the NE header. The resident-name table's offset is from the NE header, the
// non-resident one's from the start of the file.
enum NeHeader { NeResourceTable = 0x24, NeResidentNames = 0x26, NeNonResidentNames = 0x2C };
// The resource table: an alignment shift, then type blocks until a type of 0, each a header
// and its count of name entries. Offsets and lengths are in units of 1 << shift.
enum ResourceTable { TableShift = 0, TableFirstType = 2 };
enum TypeInfo { TypeId = 0, TypeCount = 2, TypeInfoSize = 8 };
enum NameInfo { NameOffset = 0, NameLength = 2, NameInfoSize = 12 };
const std::uint16_t VersionType = 0x8010; // RT_VERSION, an integer type
const std::uint16_t MaxShift = 16;
// Real files have a dozen types; a table of thousands is damage, and is not walked to its end.
const int MaxTypes = 1024;

// The first name of a name table: a length byte, then that many bytes, taken as they stand
// (each byte one character), whatever the table offsets look like.
bool FirstName(const ByteSource& file, std::uint64_t table, std::u16string& name) {
    std::uint8_t length = 0;
    if (!file.Read(table, 1, &length))
        return false;
    std::vector<std::uint8_t> text(length);
    if (!file.Read(table + 1, text.size(), text.data()))
        return false;
    name.assign(text.begin(), text.end());
    return true;
}

} // namespace

void AddNeAttributes(const ByteSource& file, std::uint64_t neHeader, FileAttributes& attributes) {
    std::uint16_t resident = 0;
    std::uint32_t nonResident = 0;
    std::u16string name;
    if (ReadU16(file, neHeader + NeResidentNames, resident) &&
        FirstName(file, neHeader + resident, name))
        attributes.strings[sdb::TAG_16BIT_MODULE_NAME] = name;
    if (ReadU32(file, neHeader + NeNonResidentNames, nonResident) &&
        FirstName(file, nonResident, name))
        attributes.strings[sdb::TAG_16BIT_DESCRIPTION] = name;
}

bool FindNeVersionBlock(const ByteSource& file, std::uint64_t neHeader, BlockPlace& place) {
    std::uint16_t tableOffset = 0, shift = 0, type = 0, count = 0;
    if (!ReadU16(file, neHeader + NeResourceTable, tableOffset) ||
        !ReadU16(file, neHeader + tableOffset + TableShift, shift) || shift > MaxShift)
        return false;
    std::uint64_t at = neHeader + tableOffset + TableFirstType;
    for (int types = 0; types < MaxTypes && ReadU16(file, at + TypeId, type) && type != 0 &&
                        ReadU16(file, at + TypeCount, count);
         ++types, at += TypeInfoSize + std::uint64_t(count) * NameInfoSize) {
        std::uint16_t offset = 0, length = 0;
        if (type != VersionType)
            continue;
        if (count == 0 || !ReadU16(file, at + TypeInfoSize + NameOffset, offset) ||
            !ReadU16(file, at + TypeInfoSize + NameLength, length))
            return false;
        place.offset = std::uint64_t(offset) << shift;
        std::uint64_t size = std::uint64_t(length) << shift;
        if (size == 0 || place.offset >= file.Size() || size > file.Size() - place.offset)
            return false;
        place.size = size < 0xFFFF ? static_cast<std::uint32_t>(size) : 0xFFFF;
        return true;
    }
    return false;
}
