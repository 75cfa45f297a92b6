// The PE machine and the NE module name from a file's bytes.
#include "program_image.h"

namespace {

// Where the DOS header says the new header starts, and the fields read after it.
const std::size_t DosNewHeader = 0x3C;
const std::size_t PeMachine = 4;          // after "PE\0\0"
const std::size_t NeResidentNames = 0x26; // offset of the resident-name table

bool Fits(std::size_t size, std::size_t offset, std::size_t length) {
    return offset <= size && length <= size - offset;
}

std::uint32_t Read(const std::uint8_t* data, std::size_t offset, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | data[offset + static_cast<std::size_t>(i)];
    return value;
}

} // namespace

ProgramImage ReadProgramImage(const std::uint8_t* data, std::size_t size) {
    ProgramImage image;
    if (!Fits(size, 0, DosNewHeader + 4) || data[0] != 'M' || data[1] != 'Z')
        return image;
    std::size_t header = Read(data, DosNewHeader, 4);
    if (!Fits(size, header, 4))
        return image;
    if (data[header] == 'P' && data[header + 1] == 'E' && data[header + 2] == 0 &&
        data[header + 3] == 0) {
        if (Fits(size, header + PeMachine, 2))
            image.machine = static_cast<std::uint16_t>(Read(data, header + PeMachine, 2));
        return image;
    }
    if (data[header] != 'N' || data[header + 1] != 'E' || !Fits(size, header + NeResidentNames, 2))
        return image;
    std::size_t table = header + Read(data, header + NeResidentNames, 2);
    if (!Fits(size, table, 1))
        return image;
    std::size_t length = data[table];
    if (!Fits(size, table + 1, length))
        return image;
    for (std::size_t i = 0; i < length; ++i)
        image.moduleName16.push_back(static_cast<char16_t>(data[table + 1 + i]));
    return image;
}
