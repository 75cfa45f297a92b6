// Reads the module name and the description of a 16-bit (NE) executable.
#include "ne_image.h"

#include <vector>

namespace {

// Offsets in the NE header. The resident-name table's offset is from the NE header, the
// non-resident one's from the start of the file.
enum NeHeader { NeResidentNames = 0x26, NeNonResidentNames = 0x2C };

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
