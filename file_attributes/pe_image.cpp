// Reads the module type and the PE header attributes of a file's bytes.
#include "pe_image.h"

namespace {

const std::uint32_t PeSignature = 0x00004550; // "PE\0\0"
const std::uint16_t NeSignature = 0x454E;     // "NE"
const std::uint16_t Pe32Magic = 0x10B;
const std::uint16_t Pe32PlusMagic = 0x20B;
const std::uint16_t MzSignature = 0x5A4D; // "MZ"
const std::size_t MaxExportNameLength = 512;

// Offsets of the fields read, each within its own header or table.
enum DosHeader { DosSignature = 0, DosNewHeader = 0x3C }; // the latter: where PE or NE starts
const std::uint64_t PeSignatureSize = 4;
enum FileHeader {
    FileSectionCount = 2,
    FileLinkDate = 4,
    FileOptionalSize = 16,
    FileHeaderSize = 20
};
// PE32 and PE32+ agree up to the checksum; the 8-byte image base of PE32+ moves what follows.
// The data directories follow their count.
enum OptionalHeader {
    OptionalMagic = 0,
    OptionalImageVersionMajor = 44,
    OptionalImageVersionMinor = 46,
    OptionalSizeOfImage = 56,
    OptionalCheckSum = 64,
    OptionalDirectoryCountPe32 = 92,
    OptionalDirectoryCountPe32Plus = 108,
    OptionalDirectoryCountSize = 4
};
enum DataDirectory { DirectoryRva = 0, DirectorySize = 4, DirectoryEntrySize = 8 };
enum SectionHeader {
    SectionAddress = 12,
    SectionRawSize = 16,
    SectionRawOffset = 20,
    SectionHeaderSize = 40
};
enum ExportDirectory { ExportNameRva = 12 };

struct PeHeaders {
    std::uint64_t fileHeader;     // offset of the COFF file header
    std::uint64_t optionalHeader; // offset of the optional header
    std::uint16_t optionalSize;
    std::uint16_t sectionCount;
};

ModuleType FindModuleType(ByteView file, PeHeaders& headers) {
    std::uint16_t mz = 0;
    if (!ReadU16(file, DosSignature, mz) || mz != MzSignature)
        return ModuleUnknown;
    std::uint32_t newHeader = 0;
    if (!ReadU32(file, DosNewHeader, newHeader))
        return ModuleDos;
    std::uint32_t signature = 0;
    if (ReadU32(file, newHeader, signature) && signature == PeSignature) {
        headers.fileHeader = std::uint64_t(newHeader) + PeSignatureSize;
        headers.optionalHeader = headers.fileHeader + FileHeaderSize;
        return ModulePe;
    }
    std::uint16_t shortSignature = 0;
    if (ReadU16(file, newHeader, shortSignature) && shortSignature == NeSignature)
        return ModuleNe;
    return ModuleDos;
}

// The file offset of an RVA inside a section's raw data, or false.
bool RvaToOffset(ByteView file, const PeHeaders& headers, std::uint32_t rva, std::uint64_t& out) {
    std::uint64_t table = headers.optionalHeader + headers.optionalSize;
    for (std::uint16_t i = 0; i < headers.sectionCount; ++i) {
        std::uint64_t section = table + i * SectionHeaderSize;
        std::uint32_t address = 0, rawSize = 0, rawOffset = 0;
        if (!ReadU32(file, section + SectionAddress, address) ||
            !ReadU32(file, section + SectionRawSize, rawSize) ||
            !ReadU32(file, section + SectionRawOffset, rawOffset))
            return false;
        if (rva >= address && rva - address < rawSize) {
            out = std::uint64_t(rawOffset) + (rva - address);
            return FitsIn(file, out, 1);
        }
    }
    return false;
}

void AddExportName(ByteView file, const PeHeaders& headers, std::uint64_t directories,
                   std::uint32_t directoryCount, FileAttributes& attributes) {
    std::uint32_t exportRva = 0, exportSize = 0;
    // The export directory is the first data directory.
    if (directoryCount < 1 ||
        directories + DirectoryEntrySize > headers.optionalHeader + headers.optionalSize ||
        !ReadU32(file, directories + DirectoryRva, exportRva) ||
        !ReadU32(file, directories + DirectorySize, exportSize) || exportRva == 0 ||
        exportSize == 0)
        return;
    std::uint64_t exportOffset = 0;
    std::uint32_t nameRva = 0;
    std::uint64_t nameOffset = 0;
    if (!RvaToOffset(file, headers, exportRva, exportOffset) ||
        !ReadU32(file, exportOffset + ExportNameRva, nameRva) ||
        !RvaToOffset(file, headers, nameRva, nameOffset))
        return;
    std::u16string name;
    for (std::uint64_t at = nameOffset; name.size() <= MaxExportNameLength; ++at) {
        if (!FitsIn(file, at, 1))
            return;
        std::uint8_t c = file.data[at];
        if (c == 0) {
            attributes.strings[sdb::TAG_EXPORT_NAME] = name;
            return;
        }
        name.push_back(c);
    }
}

void AddPeAttributes(ByteView file, PeHeaders& headers, FileAttributes& attributes) {
    std::uint32_t linkDate = 0;
    if (!ReadU16(file, headers.fileHeader + FileSectionCount, headers.sectionCount) ||
        !ReadU32(file, headers.fileHeader + FileLinkDate, linkDate) ||
        !ReadU16(file, headers.fileHeader + FileOptionalSize, headers.optionalSize))
        return;
    attributes.numbers[sdb::TAG_LINK_DATE] = linkDate;

    // Fields of the optional header count only inside its declared size.
    std::uint64_t optional = headers.optionalHeader;
    std::uint16_t magic = 0;
    if (headers.optionalSize < 2 || !ReadU16(file, optional + OptionalMagic, magic) ||
        (magic != Pe32Magic && magic != Pe32PlusMagic))
        return;
    auto field32 = [&](std::uint64_t offset, std::uint32_t& out) {
        return offset + 4 <= headers.optionalSize && ReadU32(file, optional + offset, out);
    };
    auto field16 = [&](std::uint64_t offset, std::uint16_t& out) {
        return offset + 2 <= headers.optionalSize && ReadU16(file, optional + offset, out);
    };
    std::uint16_t imageMajor = 0, imageMinor = 0;
    if (field16(OptionalImageVersionMajor, imageMajor) &&
        field16(OptionalImageVersionMinor, imageMinor))
        attributes.numbers[sdb::TAG_LINKER_VERSION] =
            (std::uint32_t(imageMajor) << 16) | imageMinor;
    std::uint32_t value = 0;
    if (field32(OptionalSizeOfImage, value))
        attributes.numbers[sdb::TAG_SIZE_OF_IMAGE] = value;
    if (field32(OptionalCheckSum, value))
        attributes.numbers[sdb::TAG_PE_CHECKSUM] = value;
    std::uint64_t countOffset =
        magic == Pe32Magic ? OptionalDirectoryCountPe32 : OptionalDirectoryCountPe32Plus;
    std::uint32_t directoryCount = 0;
    if (field32(countOffset, directoryCount))
        AddExportName(file, headers, optional + countOffset + OptionalDirectoryCountSize,
                      directoryCount, attributes);
}

} // namespace

void AddImageAttributes(ByteView file, FileAttributes& attributes) {
    PeHeaders headers = {0, 0, 0, 0};
    ModuleType type = FindModuleType(file, headers);
    attributes.numbers[sdb::TAG_MODULE_TYPE] = type;
    if (type == ModulePe)
        AddPeAttributes(file, headers, attributes);
}
