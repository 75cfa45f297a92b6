// Tests of the PE header attributes and the file checksum on built and damaged images.
#include "file_checksum.h"
#include "pe_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void Put16(std::vector<std::uint8_t>& image, std::size_t at, std::uint16_t value) {
    image[at] = static_cast<std::uint8_t>(value);
    image[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Where the builder puts things.
const std::size_t PeOffset = 0x80;
const std::size_t Optional = PeOffset + 24;
const std::size_t SectionRaw = 0x200;
const std::uint32_t SectionRva = 0x1000;

// A small PE image with one section holding an export directory named "sample.dll".
std::vector<std::uint8_t> BuildPe(bool pe32Plus) {
    std::vector<std::uint8_t> image(0x400, 0);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, PeOffset);
    std::memcpy(&image[PeOffset], "PE\0\0", 4);
    std::size_t file = PeOffset + 4;
    Put16(image, file + 0, pe32Plus ? 0x8664 : 0x14C);
    Put16(image, file + 2, 1);          // one section
    Put32(image, file + 4, 0x5F3A1B2C); // TimeDateStamp
    std::uint16_t optionalSize = pe32Plus ? 240 : 224;
    Put16(image, file + 16, optionalSize);
    Put16(image, Optional, pe32Plus ? 0x20B : 0x10B);
    Put16(image, Optional + 44, 6); // image version 6.3
    Put16(image, Optional + 46, 3);
    Put32(image, Optional + 56, 0x3000);     // SizeOfImage
    Put32(image, Optional + 64, 0x0001ABCD); // CheckSum
    std::size_t count = Optional + (pe32Plus ? 108 : 92);
    Put32(image, count, 16);
    Put32(image, count + 4, SectionRva); // export directory RVA
    Put32(image, count + 8, 40);
    std::size_t section = Optional + optionalSize;
    std::memcpy(&image[section], ".edata\0\0", 8);
    Put32(image, section + 8, 0x100);
    Put32(image, section + 12, SectionRva);
    Put32(image, section + 16, 0x100);
    Put32(image, section + 20, SectionRaw);
    Put32(image, SectionRaw + 12, SectionRva + 0x40); // Name RVA
    std::memcpy(&image[SectionRaw + 0x40], "sample.dll", 11);
    return image;
}

FileAttributes Attributes(const std::vector<std::uint8_t>& image, std::size_t size) {
    FileAttributes attributes;
    AddImageAttributes(ByteView{image.data(), size}, attributes);
    return attributes;
}

TEST(PeImage, ReadsHeaderFieldsOfBothOptionalHeaderForms) {
    for (bool plus : {false, true}) {
        std::vector<std::uint8_t> image = BuildPe(plus);
        FileAttributes a = Attributes(image, image.size());
        EXPECT_EQ(a.numbers[sdb::TAG_MODULE_TYPE], ModulePe);
        EXPECT_EQ(a.numbers[sdb::TAG_LINK_DATE], 0x5F3A1B2Cu);
        EXPECT_EQ(a.numbers[sdb::TAG_LINKER_VERSION], 0x00060003u);
        EXPECT_EQ(a.numbers[sdb::TAG_SIZE_OF_IMAGE], 0x3000u);
        EXPECT_EQ(a.numbers[sdb::TAG_PE_CHECKSUM], 0x0001ABCDu);
        EXPECT_EQ(a.strings[sdb::TAG_EXPORT_NAME], u"sample.dll");
    }
}

TEST(PeImage, RecognisesDosNeAndForeignFiles) {
    std::vector<std::uint8_t> image = BuildPe(false);
    image[PeOffset] = 'N';
    image[PeOffset + 1] = 'E';
    EXPECT_EQ(Attributes(image, image.size()).numbers[sdb::TAG_MODULE_TYPE], ModuleNe);
    image[PeOffset] = 'X';
    FileAttributes dos = Attributes(image, image.size());
    EXPECT_EQ(dos.numbers[sdb::TAG_MODULE_TYPE], ModuleDos);
    EXPECT_EQ(dos.numbers.count(sdb::TAG_LINK_DATE), 0u);
    EXPECT_EQ(Attributes(image, 0x20).numbers[sdb::TAG_MODULE_TYPE], ModuleDos); // MZ, no e_lfanew
    image[0] = 'Z';
    EXPECT_EQ(Attributes(image, image.size()).numbers[sdb::TAG_MODULE_TYPE], ModuleUnknown);
    EXPECT_EQ(Attributes(image, 0).numbers[sdb::TAG_MODULE_TYPE], ModuleUnknown);
}

// Every prefix of a good image: no read past the end (the sanitizers watch), and whatever
// is reported is what the whole file says, never a value made of missing bytes.
TEST(PeImage, TruncatedImagesReportOnlyTrueAttributes) {
    std::vector<std::uint8_t> image = BuildPe(false);
    FileAttributes whole = Attributes(image, image.size());
    for (std::size_t size = 0; size <= image.size(); ++size) {
        std::vector<std::uint8_t> prefix(image.begin(), image.begin() + size);
        FileAttributes part = Attributes(prefix, size);
        for (const auto& number : part.numbers) {
            if (number.first != sdb::TAG_MODULE_TYPE)
                EXPECT_EQ(number.second, whole.numbers[number.first]) << size;
        }
        for (const auto& text : part.strings)
            EXPECT_EQ(text.second, whole.strings[text.first]) << size;
    }
    EXPECT_EQ(Attributes(image, SectionRaw + 0x45).strings.count(sdb::TAG_EXPORT_NAME), 0u);
    EXPECT_EQ(Attributes(image, Optional + 64).numbers.count(sdb::TAG_PE_CHECKSUM), 0u);
    EXPECT_EQ(Attributes(image, Optional + 64).numbers.count(sdb::TAG_SIZE_OF_IMAGE), 1u);
}

TEST(PeImage, HostileOffsetsAndSizesLoseTheirAttributes) {
    std::vector<std::uint8_t> image = BuildPe(false);
    std::vector<std::uint8_t> far = image;
    Put32(far, 0x3C, 0xFFFFFFF0); // e_lfanew past the end
    EXPECT_EQ(Attributes(far, far.size()).numbers[sdb::TAG_MODULE_TYPE], ModuleDos);

    std::vector<std::uint8_t> small = image;
    Put16(small, PeOffset + 4 + 16, 60); // optional header too small for the checksum
    FileAttributes a = Attributes(small, small.size());
    EXPECT_EQ(a.numbers.count(sdb::TAG_PE_CHECKSUM), 0u);
    EXPECT_EQ(a.numbers.count(sdb::TAG_SIZE_OF_IMAGE), 1u);
    EXPECT_EQ(a.strings.count(sdb::TAG_EXPORT_NAME), 0u);

    std::vector<std::uint8_t> sections = image;
    Put16(sections, PeOffset + 4 + 2, 0xFFFF); // a section table far past the end
    Put32(sections, Optional + 224 + 20, 0xFFFFFF00);
    EXPECT_EQ(Attributes(sections, sections.size()).strings.count(sdb::TAG_EXPORT_NAME), 0u);

    std::vector<std::uint8_t> name = image;
    std::memset(&name[SectionRaw + 0x40], 'A', 0x400 - SectionRaw - 0x40); // no terminator
    EXPECT_EQ(Attributes(name, name.size()).strings.count(sdb::TAG_EXPORT_NAME), 0u);

    std::vector<std::uint8_t> directories = image;
    Put32(directories, Optional + 92, 0); // no data directories
    EXPECT_EQ(Attributes(directories, directories.size()).strings.count(sdb::TAG_EXPORT_NAME), 0u);
}

TEST(FileChecksum, SumsRotatedWordsOverTheRightWindow) {
    const std::uint8_t words[] = {1, 0, 0, 0, 2, 0, 0, 0, 0xFF};
    EXPECT_EQ(FileChecksum(ByteView{words, 3}), 0u);
    // 1 -> ror 0x80000000; + 2 -> ror 0x40000001; the odd last byte does not count.
    EXPECT_EQ(FileChecksum(ByteView{words, 9}), 0x40000001u);

    std::vector<std::uint8_t> big(0x1200, 0);
    std::uint32_t base = FileChecksum(ByteView{big.data(), big.size()});
    big[0x1FF] = 7; // before the window
    EXPECT_EQ(FileChecksum(ByteView{big.data(), big.size()}), base);
    big[0x200] = 7;
    EXPECT_NE(FileChecksum(ByteView{big.data(), big.size()}), base);

    std::vector<std::uint8_t> middle(0x1100, 0);
    middle[0xFF] = 7; // before the last 0x1000 bytes
    EXPECT_EQ(FileChecksum(ByteView{middle.data(), middle.size()}), 0u);
    middle[0x100] = 7;
    EXPECT_NE(FileChecksum(ByteView{middle.data(), middle.size()}), 0u);
}

} // namespace
