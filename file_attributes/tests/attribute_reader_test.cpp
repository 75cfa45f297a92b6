// Tests of the attributes read from whole files: checksum vectors, PE, NE, DOS and foreign
// files, the version resource, hostile tables, and reading by path.
#include "attribute_reader.h"
#include "file_checksum.h"
#include "path_attributes.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace test_images;

FileAttributes Read(const std::vector<std::uint8_t>& bytes) {
    FileAttributes attributes;
    ReadFileAttributes(MemorySource(ByteView{bytes.data(), bytes.size()}), attributes);
    return attributes;
}

std::vector<std::uint8_t> FullPe() {
    PeOptions options;
    options.version = VersionBlock();
    return BuildPe(options);
}

// The published algorithm, written out again: the window, then add and rotate each DWORD.
std::uint32_t ReferenceChecksum(const std::vector<std::uint8_t>& file) {
    std::size_t start = 0, end = file.size();
    if (file.size() >= 0x1200) {
        start = 0x200;
        end = 0x1200;
    } else if (file.size() > 0x1000) {
        start = file.size() - 0x1000;
    }
    std::uint32_t sum = 0;
    for (std::size_t at = start; at + 4 <= end; at += 4) {
        sum += std::uint32_t(file[at]) | std::uint32_t(file[at + 1]) << 8 |
               std::uint32_t(file[at + 2]) << 16 | std::uint32_t(file[at + 3]) << 24;
        sum = sum >> 1 | sum << 31;
    }
    return sum;
}

TEST(Checksum, MatchesThePublishedAlgorithmAtEveryWindowEdge) {
    // By hand: "aaaa" is 0x61616161, rotated 0xB0B0B0B0; with a second word 0x89090908.
    EXPECT_EQ(Read(std::vector<std::uint8_t>(4, 'a')).numbers[sdb::TAG_CHECKSUM], 0xB0B0B0B0u);
    // The last word ends exactly at the window's end and counts.
    EXPECT_EQ(Read(std::vector<std::uint8_t>(8, 'a')).numbers[sdb::TAG_CHECKSUM], 0x89090908u);
    std::vector<std::size_t> sizes = {0x0FFC, 0x1000, 0x11FC, 0x1200, 0xF000};
    for (std::size_t size = 1; size <= 16; ++size)
        sizes.push_back(size);
    for (std::size_t size : sizes) {
        std::vector<std::uint8_t> file(size);
        for (std::size_t i = 0; i < size; ++i)
            file[i] = static_cast<std::uint8_t>(i * 37 + (i >> 8) + 1);
        FileAttributes a = Read(file);
        EXPECT_EQ(a.numbers[sdb::TAG_CHECKSUM], ReferenceChecksum(file)) << size;
        EXPECT_EQ(FileChecksum(ByteView{file.data(), file.size()}), ReferenceChecksum(file));
        EXPECT_EQ(a.numbers[sdb::TAG_SIZE], size);
    }
}

TEST(AttributeReader, FullPeGivesAllTwentyEightBarTheSixteenBitNames) {
    FileAttributes a = Read(FullPe());
    EXPECT_EQ(a.numbers[sdb::TAG_MODULE_TYPE], ModulePe);
    EXPECT_EQ(a.numbers[sdb::TAG_BIN_FILE_VERSION], 0x0001000200030004u);
    EXPECT_EQ(a.numbers[sdb::TAG_UPTO_BIN_FILE_VERSION], 0x0001000200030004u);
    EXPECT_EQ(a.numbers[sdb::TAG_BIN_PRODUCT_VERSION], 0x0005000600070008u);
    EXPECT_EQ(a.numbers[sdb::TAG_UPTO_BIN_PRODUCT_VERSION], 0x0005000600070008u);
    EXPECT_EQ(a.numbers[sdb::TAG_VERFILEOS], 4u);
    EXPECT_EQ(a.numbers[sdb::TAG_VERFILETYPE], 1u);
    EXPECT_EQ(a.numbers[sdb::TAG_VERDATEHI], 0x01D00000u);
    EXPECT_EQ(a.numbers[sdb::TAG_VERDATELO], 0x12345678u);
    EXPECT_EQ(a.numbers[sdb::TAG_VER_LANGUAGE], 0x409u);
    EXPECT_EQ(a.numbers[sdb::TAG_LINK_DATE], 0x5F3A1B2Cu);
    EXPECT_EQ(a.numbers[sdb::TAG_UPTO_LINK_DATE], 0x5F3A1B2Cu);
    EXPECT_EQ(a.numbers[sdb::TAG_LINKER_VERSION], 0x00060003u);
    EXPECT_EQ(a.numbers[sdb::TAG_PE_CHECKSUM], 0x0001ABCDu);
    EXPECT_EQ(a.numbers[sdb::TAG_EXE_WRAPPER], 0u);
    EXPECT_EQ(a.strings[sdb::TAG_EXPORT_NAME], u"sample.dll");
    EXPECT_EQ(a.strings[sdb::TAG_COMPANY_NAME], u"Northwind Graphics");
    EXPECT_EQ(a.strings[sdb::TAG_PRODUCT_VERSION], u"ProductVersion text");
    EXPECT_EQ(a.strings[sdb::TAG_LEGAL_COPYRIGHT], u"LegalCopyright text");
    EXPECT_EQ(a.strings.count(sdb::TAG_16BIT_MODULE_NAME), 0u);
    // SIZE_OF_IMAGE besides the 28.
    EXPECT_EQ(a.numbers.size() + a.strings.size(), 28u - 2 + 1);
}

TEST(AttributeReader, VersionLanguageIsTheFirstTranslationsAndTablesMatchWithoutCase) {
    PeOptions options;
    options.version = VersionBlock(0x0411, 0x04B0); // the table's key is in capitals
    FileAttributes a = Read(BuildPe(options));
    EXPECT_EQ(a.numbers[sdb::TAG_VER_LANGUAGE], 0x411u);
    EXPECT_EQ(a.strings[sdb::TAG_COMPANY_NAME], u"Northwind Graphics");
}

TEST(AttributeReader, PeWithoutResourcesOrExportsAndOtherFiles) {
    PeOptions bare;
    bare.exports = false;
    FileAttributes pe = Read(BuildPe(bare));
    EXPECT_EQ(pe.strings.count(sdb::TAG_EXPORT_NAME), 0u);
    ASSERT_EQ(pe.numbers.count(sdb::TAG_VER_LANGUAGE), 1u); // empty, not failed
    EXPECT_EQ(pe.numbers[sdb::TAG_VER_LANGUAGE], 0u);
    EXPECT_EQ(pe.numbers[sdb::TAG_EXE_WRAPPER], 0u);
    EXPECT_EQ(pe.numbers.count(sdb::TAG_BIN_FILE_VERSION), 0u);
    EXPECT_EQ(pe.numbers.count(sdb::TAG_UPTO_BIN_FILE_VERSION), 0u);

    FileAttributes mz = Read({'M', 'Z'});
    EXPECT_EQ(mz.numbers[sdb::TAG_MODULE_TYPE], ModuleDos);
    EXPECT_EQ(mz.numbers[sdb::TAG_CHECKSUM], 0u);
    EXPECT_EQ(mz.numbers.count(sdb::TAG_EXE_WRAPPER), 0u);

    FileAttributes text = Read(std::vector<std::uint8_t>(300, 'T'));
    EXPECT_EQ(text.numbers[sdb::TAG_MODULE_TYPE], ModuleUnknown);
    EXPECT_EQ(text.numbers.count(sdb::TAG_EXE_WRAPPER), 0u);
    EXPECT_EQ(text.numbers.count(sdb::TAG_VER_LANGUAGE), 0u);
    EXPECT_EQ(text.numbers.size(), 3u); // SIZE, CHECKSUM, MODULE_TYPE
    EXPECT_TRUE(text.strings.empty());

    FileAttributes empty = Read({});
    EXPECT_EQ(empty.numbers[sdb::TAG_SIZE], 0u);
    EXPECT_EQ(empty.numbers[sdb::TAG_CHECKSUM], 0u);
}

TEST(AttributeReader, NeFileGivesItsNamesAndNoPeFields) {
    FileAttributes ne = Read(BuildNe("CADWRITE", "CAD Writer for Windows 3.1"));
    EXPECT_EQ(ne.numbers[sdb::TAG_MODULE_TYPE], ModuleNe);
    EXPECT_EQ(ne.strings[sdb::TAG_16BIT_MODULE_NAME], u"CADWRITE");
    EXPECT_EQ(ne.strings[sdb::TAG_16BIT_DESCRIPTION], u"CAD Writer for Windows 3.1");
    for (std::uint16_t tag :
         {sdb::TAG_PE_CHECKSUM, sdb::TAG_LINKER_VERSION, sdb::TAG_LINK_DATE, sdb::TAG_EXE_WRAPPER})
        EXPECT_EQ(ne.numbers.count(tag), 0u) << tag;

    // A zero table offset is taken at its word: the length byte there still counts.
    std::vector<std::uint8_t> zero = BuildNe("A", "B");
    Put16(zero, 0x80 + 0x26, 0);
    FileAttributes z = Read(zero);
    ASSERT_EQ(z.strings.count(sdb::TAG_16BIT_MODULE_NAME), 1u);
    EXPECT_EQ(z.strings[sdb::TAG_16BIT_MODULE_NAME].size(), std::size_t('N'));
    // A name running past the end of the file is not given.
    std::vector<std::uint8_t> cut = BuildNe("A", "B");
    Put32(cut, 0x80 + 0x2C, static_cast<std::uint32_t>(cut.size() - 2));
    cut[cut.size() - 2] = 5;
    EXPECT_EQ(Read(cut).strings.count(sdb::TAG_16BIT_DESCRIPTION), 0u);
}

TEST(AttributeReader, NeVersionResourceInItsSixteenBitForm) {
    FileAttributes ne = Read(BuildNe("CADWRITE", "CAD Writer", NarrowVersionBlock()));
    EXPECT_EQ(ne.numbers[sdb::TAG_BIN_FILE_VERSION], 0x00030000000A0001u);
    EXPECT_EQ(ne.numbers[sdb::TAG_UPTO_BIN_PRODUCT_VERSION], 0x00030000000A0000u);
    EXPECT_EQ(ne.numbers[sdb::TAG_VERFILEOS], 0x00010001u);
    EXPECT_EQ(ne.numbers[sdb::TAG_VER_LANGUAGE], 0x409u);
    EXPECT_EQ(ne.strings[sdb::TAG_COMPANY_NAME], u"Northwind Graphics");
    EXPECT_EQ(ne.strings[sdb::TAG_FILE_VERSION], u"3.10.1");
    EXPECT_EQ(ne.strings[sdb::TAG_16BIT_MODULE_NAME], u"CADWRITE");
    EXPECT_EQ(ne.numbers.count(sdb::TAG_PE_CHECKSUM), 0u);

    // A 32-bit block where the 16-bit form is due is not sound, and gives nothing.
    FileAttributes wide = Read(BuildNe("CADWRITE", "CAD Writer", VersionBlock()));
    EXPECT_EQ(wide.numbers.count(sdb::TAG_BIN_FILE_VERSION), 0u);
    EXPECT_EQ(wide.strings.count(sdb::TAG_COMPANY_NAME), 0u);
    // A table of empty types to the end of the file, and a shift past any file: no block.
    std::vector<std::uint8_t> types = BuildNe("A", "B", NarrowVersionBlock());
    for (std::size_t at = NeHeaderAt + NeResources + 2; at + 8 <= types.size(); at += 8)
        Put16(types, at, 0x8003);
    EXPECT_EQ(Read(types).numbers.count(sdb::TAG_BIN_FILE_VERSION), 0u);
    std::vector<std::uint8_t> shift = BuildNe("A", "B", NarrowVersionBlock());
    Put16(shift, NeHeaderAt + NeResources, 40);
    EXPECT_EQ(Read(shift).numbers.count(sdb::TAG_BIN_FILE_VERSION), 0u);
}

// The export name's RVA one byte past the section's raw data lies in no section's bytes.
TEST(AttributeReader, ExportNameJustPastTheSectionsDataIsNotGiven) {
    PeOptions options;
    std::vector<std::uint8_t> image = BuildPe(options);
    Put32(image, SectionRaw + 12, SectionRva + 0x100);
    EXPECT_EQ(Read(image).strings.count(sdb::TAG_EXPORT_NAME), 0u);
    Put32(image, SectionRaw + 12, SectionRva + 0xFF);
    EXPECT_EQ(Read(image).strings[sdb::TAG_EXPORT_NAME], u""); // the last byte, a NUL
}

TEST(AttributeReader, HostileResourceTablesEndQuietly) {
    const std::vector<std::uint8_t> good = FullPe();
    const std::size_t names = ResourceRaw + 0x18, languages = ResourceRaw + 0x30;
    auto versionless = [](const std::vector<std::uint8_t>& image) {
        FileAttributes a = Read(image);
        return a.numbers.count(sdb::TAG_BIN_FILE_VERSION) == 0 &&
               a.strings.count(sdb::TAG_COMPANY_NAME) == 0 &&
               a.numbers[sdb::TAG_LINK_DATE] == 0x5F3A1B2Cu;
    };
    std::vector<std::uint8_t> loop = good; // the name table points back at the root
    Put32(loop, names + 20, 0x80000000u);
    EXPECT_TRUE(versionless(loop));
    std::vector<std::uint8_t> self = good; // the language table points at itself
    Put32(self, languages + 20, 0x80000000u | 0x30);
    EXPECT_TRUE(versionless(self));
    std::vector<std::uint8_t> huge = good; // counts far past the file, no match inside
    Put16(huge, ResourceRaw + 12, 0xFFFF);
    Put16(huge, ResourceRaw + 14, 0xFFFF);
    Put32(huge, ResourceRaw + 16, 17);
    EXPECT_TRUE(versionless(huge));
    std::vector<std::uint8_t> far = good; // the block's size and RVA past the end
    Put32(far, ResourceRaw + 0x48 + 4, 0x7FFFFFFF);
    EXPECT_TRUE(versionless(far));
    Put32(far, ResourceRaw + 0x48, 0xFFFFFFF0);
    EXPECT_TRUE(versionless(far));
    std::vector<std::uint8_t> lying = good; // the block's root longer than the block
    Put16(lying, VersionBlockAt, 0xFFFF);
    EXPECT_TRUE(versionless(lying));
}

// Every prefix of a full image: only what the whole image says, never a read outside.
TEST(AttributeReader, TruncatedFullImagesReportOnlyTrueAttributes) {
    const std::vector<std::uint8_t> image = FullPe();
    FileAttributes whole = Read(image);
    for (std::size_t size = 0; size < image.size(); size += 3) {
        FileAttributes part = Read(std::vector<std::uint8_t>(image.begin(), image.begin() + size));
        for (const auto& number : part.numbers) {
            if (number.first != sdb::TAG_MODULE_TYPE && number.first != sdb::TAG_SIZE &&
                number.first != sdb::TAG_CHECKSUM && number.first != sdb::TAG_VER_LANGUAGE)
                EXPECT_EQ(number.second, whole.numbers[number.first]) << size;
        }
        for (const auto& text : part.strings)
            EXPECT_EQ(text.second, whole.strings[text.first]) << size;
    }
}

std::string TempFolder() {
    return std::filesystem::temp_directory_path().string();
}

struct ScratchFile {
    std::string path;
    explicit ScratchFile(const std::vector<std::uint8_t>& bytes) {
        std::string name = TempFolder() + "/attributes-test-XXXXXX";
        int fd = mkstemp(&name[0]);
        path = name;
        if (fd < 0 || write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
            std::abort();
        close(fd);
    }
    ~ScratchFile() { std::remove(path.c_str()); }
};

TEST(PathAttributes, ReadsRegularFilesAndRefusesTheRest) {
    const std::vector<std::uint8_t> image = FullPe();
    ScratchFile file(image);
    FileAttributes byPath;
    ASSERT_TRUE(ReadFileAttributesAtPath(file.path, byPath));
    FileAttributes inMemory = Read(image);
    EXPECT_EQ(byPath.numbers, inMemory.numbers);
    EXPECT_EQ(byPath.strings, inMemory.strings);

    std::vector<std::uint8_t> big(0x30000, 'x'); // past the head the cache keeps
    big[0] = 'M';
    big[1] = 'Z';
    ScratchFile large(big);
    ASSERT_TRUE(ReadFileAttributesAtPath(large.path, byPath));
    EXPECT_EQ(byPath.numbers[sdb::TAG_SIZE], big.size());
    EXPECT_EQ(byPath.numbers[sdb::TAG_CHECKSUM], ReferenceChecksum(big));

    FileAttributes untouched;
    EXPECT_FALSE(ReadFileAttributesAtPath("/no/such/file", untouched));
    EXPECT_FALSE(ReadFileAttributesAtPath(TempFolder(), untouched));
    std::string fifo = file.path + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadFileAttributesAtPath(fifo, untouched)); // and does not wait for a writer
    std::remove(fifo.c_str());
    EXPECT_TRUE(untouched.numbers.empty());
}

} // namespace
