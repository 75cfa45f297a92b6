// Tests of the PE header attributes and the file checksum on built and damaged images.
#include "file_checksum.h"
#include "pe_image.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace test_images;

std::vector<std::uint8_t> BuildPe(bool pe32Plus) {
    PeOptions options;
    options.pe32Plus = pe32Plus;
    return test_images::BuildPe(options);
}

FileAttributes Attributes(const std::vector<std::uint8_t>& image, std::size_t size) {
    FileAttributes attributes;
    AddImageAttributes(MemorySource(ByteView{image.data(), size}), attributes);
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
