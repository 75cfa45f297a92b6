// Reads the module type, the PE header attributes and the place of the version resource.
#include "pe_image.h"

#include "ne_image.h"

#include <vector>

namespace {

const std::uint32_t PeSignature = 0x00004550; // "PE\0\0"
const std::uint16_t NeSignature = 0x454E;     // "NE"
const std::uint16_t Pe32Magic = 0x10B;
const std::uint16_t Pe32PlusMagic = 0x20B;
const std::uint16_t MzSignature = 0x5A4D; // "MZ"
const std::size_t MaxExportNameLength = 512;
const std::uint32_t VersionResourceType = 16; // RT_VERSION
const std::uint32_t VersionResourceName = 1;  // VS_VERSION_INFO
// A version block's own length is a WORD.
const std::uint32_t MaxVersionBlockSize = 0xFFFF;

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
enum DirectoryIndex { ExportDirectory = 0, ResourceDirectory = 2 };
enum SectionHeader {
    SectionAddress = 12,
    SectionRawSize = 16,
    SectionRawOffset = 20,
    SectionHeaderSize = 40
};
enum ExportDirectoryField { ExportNameRva = 12 };
enum ResourceTable { TableNamedCount = 12, TableIdCount = 14, TableHeaderSize = 16 };
enum ResourceEntry { EntryName = 0, EntryTarget = 4, ResourceEntrySize = 8 };
const std::uint32_t EntryIsDirectory = 0x80000000; // in EntryTarget: a table, not data
enum ResourceData { DataRva = 0, DataSize = 4 };

struct Section {
    std::uint32_t address;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

// The PE headers as read: the optional header holds only the bytes of its declared size that
// lie in the file, the section table only the whole entries that do.
struct PeImage {
    std::vector<std::uint8_t> optional;
    std::uint16_t magic = 0;
    std::vector<Section> sections;
};

ModuleType FindModuleType(const ByteSource& file, std::uint64_t& newHeader) {
    std::uint16_t mz = 0;
    if (!ReadU16(file, DosSignature, mz) || mz != MzSignature)
        return ModuleUnknown;
    std::uint32_t offset = 0;
    if (!ReadU32(file, DosNewHeader, offset))
        return ModuleDos;
    newHeader = offset;
    std::uint32_t signature = 0;
    if (ReadU32(file, newHeader, signature) && signature == PeSignature)
        return ModulePe;
    std::uint16_t shortSignature = 0;
    if (ReadU16(file, newHeader, shortSignature) && shortSignature == NeSignature)
        return ModuleNe;
    return ModuleDos;
}

// The file offset of an RVA inside a section's raw data and the file, or false.
bool RvaToOffset(const ByteSource& file, const PeImage& image, std::uint32_t rva,
                 std::uint64_t& out) {
    for (const Section& section : image.sections) {
        if (rva >= section.address && rva - section.address < section.rawSize) {
            out = std::uint64_t(section.rawOffset) + (rva - section.address);
            return out < file.Size();
        }
    }
    return false;
}

// A data directory's RVA, when the directory lies inside the optional header and is not
// empty.
bool FindDirectory(const PeImage& image, std::uint32_t index, std::uint32_t& rva) {
    ByteView optional{image.optional.data(), image.optional.size()};
    std::uint64_t countOffset =
        image.magic == Pe32Magic ? OptionalDirectoryCountPe32 : OptionalDirectoryCountPe32Plus;
    std::uint32_t count = 0, size = 0;
    std::uint64_t entry =
        countOffset + OptionalDirectoryCountSize + std::uint64_t(index) * DirectoryEntrySize;
    return ReadU32(optional, countOffset, count) && index < count &&
           ReadU32(optional, entry + DirectoryRva, rva) &&
           ReadU32(optional, entry + DirectorySize, size) && rva != 0 && size != 0;
}

void AddExportName(const ByteSource& file, const PeImage& image, FileAttributes& attributes) {
    std::uint32_t exportRva = 0, nameRva = 0;
    std::uint64_t exportOffset = 0, nameOffset = 0;
    std::vector<std::uint8_t> name;
    if (!FindDirectory(image, ExportDirectory, exportRva) ||
        !RvaToOffset(file, image, exportRva, exportOffset) ||
        !ReadU32(file, exportOffset + ExportNameRva, nameRva) ||
        !RvaToOffset(file, image, nameRva, nameOffset) ||
        !ReadUpTo(file, nameOffset, MaxExportNameLength + 1, name))
        return;
    std::u16string text;
    for (std::uint8_t c : name) {
        if (c == 0) {
            attributes.strings[sdb::TAG_EXPORT_NAME] = text;
            return;
        }
        text.push_back(c);
    }
}

// The entry of a resource table with that ID, or its first entry when id is 0. Its target is
// an offset from the resource root, with EntryIsDirectory set when it leads to a table.
bool FindResourceEntry(const ByteSource& file, std::uint64_t root, std::uint64_t table,
                       std::uint32_t id, std::uint32_t& target) {
    std::uint16_t named = 0, ids = 0;
    std::vector<std::uint8_t> entries;
    if (!ReadU16(file, root + table + TableNamedCount, named) ||
        !ReadU16(file, root + table + TableIdCount, ids) ||
        !ReadUpTo(file, root + table + TableHeaderSize,
                  (std::uint64_t(named) + ids) * ResourceEntrySize, entries))
        return false;
    ByteView view{entries.data(), entries.size()};
    for (std::size_t at = 0; at + ResourceEntrySize <= view.size; at += ResourceEntrySize) {
        std::uint32_t name = 0;
        ReadU32(view, at + EntryName, name);
        if (id == 0 || name == id) {
            ReadU32(view, at + EntryTarget, target);
            return true;
        }
    }
    return false;
}

// Type RT_VERSION, name 1 (else the first name), the first language: three fixed levels, so
// that no table that points back at another can make the walk go round.
bool FindVersionBlock(const ByteSource& file, const PeImage& image, BlockPlace& place) {
    std::uint32_t rootRva = 0, names = 0, languages = 0, data = 0, dataRva = 0, dataSize = 0;
    std::uint64_t root = 0;
    if (!FindDirectory(image, ResourceDirectory, rootRva) ||
        !RvaToOffset(file, image, rootRva, root) ||
        !FindResourceEntry(file, root, 0, VersionResourceType, names) ||
        !(names & EntryIsDirectory))
        return false;
    names &= ~EntryIsDirectory;
    if (!FindResourceEntry(file, root, names, VersionResourceName, languages) &&
        !FindResourceEntry(file, root, names, 0, languages))
        return false;
    if (!(languages & EntryIsDirectory) ||
        !FindResourceEntry(file, root, languages & ~EntryIsDirectory, 0, data) ||
        (data & EntryIsDirectory) || !ReadU32(file, root + data + DataRva, dataRva) ||
        !ReadU32(file, root + data + DataSize, dataSize) ||
        !RvaToOffset(file, image, dataRva, place.offset) || dataSize > file.Size() - place.offset)
        return false; // a resource that runs past the file is not read at all
    place.size = dataSize < MaxVersionBlockSize ? dataSize : MaxVersionBlockSize;
    return place.size != 0;
}

void AddPeAttributes(const ByteSource& file, std::uint64_t newHeader, ImageFacts& facts,
                     FileAttributes& attributes) {
    std::uint64_t fileHeader = newHeader + PeSignatureSize;
    std::uint16_t sectionCount = 0, optionalSize = 0;
    std::uint32_t linkDate = 0;
    if (!ReadU16(file, fileHeader + FileSectionCount, sectionCount) ||
        !ReadU32(file, fileHeader + FileLinkDate, linkDate) ||
        !ReadU16(file, fileHeader + FileOptionalSize, optionalSize))
        return;
    attributes.numbers[sdb::TAG_LINK_DATE] = linkDate;

    PeImage image;
    std::uint64_t optionalHeader = fileHeader + FileHeaderSize;
    if (!ReadUpTo(file, optionalHeader, optionalSize, image.optional))
        return;
    const ByteView optional{image.optional.data(), image.optional.size()};
    if (!ReadU16(optional, OptionalMagic, image.magic) ||
        (image.magic != Pe32Magic && image.magic != Pe32PlusMagic))
        return;
    std::uint16_t imageMajor = 0, imageMinor = 0;
    if (ReadU16(optional, OptionalImageVersionMajor, imageMajor) &&
        ReadU16(optional, OptionalImageVersionMinor, imageMinor))
        attributes.numbers[sdb::TAG_LINKER_VERSION] =
            (std::uint32_t(imageMajor) << 16) | imageMinor;
    std::uint32_t value = 0;
    if (ReadU32(optional, OptionalSizeOfImage, value))
        attributes.numbers[sdb::TAG_SIZE_OF_IMAGE] = value;
    if (ReadU32(optional, OptionalCheckSum, value))
        attributes.numbers[sdb::TAG_PE_CHECKSUM] = value;

    std::vector<std::uint8_t> table;
    if (image.optional.size() == optionalSize &&
        ReadUpTo(file, optionalHeader + optionalSize,
                 std::uint64_t(sectionCount) * SectionHeaderSize, table)) {
        ByteView view{table.data(), table.size()};
        for (std::size_t at = 0; at + SectionHeaderSize <= view.size; at += SectionHeaderSize) {
            Section section = {0, 0, 0};
            ReadU32(view, at + SectionAddress, section.address);
            ReadU32(view, at + SectionRawSize, section.rawSize);
            ReadU32(view, at + SectionRawOffset, section.rawOffset);
            image.sections.push_back(section);
        }
    }
    AddExportName(file, image, attributes);
    facts.hasVersion = FindVersionBlock(file, image, facts.version);
}

} // namespace

ImageFacts AddImageAttributes(const ByteSource& file, FileAttributes& attributes) {
    ImageFacts facts = {ModuleUnknown, false, {0, 0}, VersionForm::Wide};
    std::uint64_t newHeader = 0;
    facts.type = FindModuleType(file, newHeader);
    attributes.numbers[sdb::TAG_MODULE_TYPE] = facts.type;
    if (facts.type == ModulePe)
        AddPeAttributes(file, newHeader, facts, attributes);
    else if (facts.type == ModuleNe) {
        AddNeAttributes(file, newHeader, attributes);
        facts.hasVersion = FindNeVersionBlock(file, newHeader, facts.version);
        facts.form = VersionForm::Narrow;
    }
    return facts;
}
