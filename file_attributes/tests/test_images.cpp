// Builds the small executables and version blocks of the tests.
#include "test_images.h"

#include <cstdio>
#include <cstring>

namespace test_images {

void Put16(std::vector<std::uint8_t>& image, std::size_t at, std::uint16_t value) {
    image[at] = static_cast<std::uint8_t>(value);
    image[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> Node(const std::u16string& key, std::uint16_t type,
                               const std::vector<std::uint8_t>& value,
                               const std::vector<std::vector<std::uint8_t>>& children) {
    std::vector<std::uint8_t> node(6, 0);
    for (char16_t c : key + u'\0') {
        node.push_back(static_cast<std::uint8_t>(c));
        node.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    while (node.size() % 4 != 0)
        node.push_back(0);
    node.insert(node.end(), value.begin(), value.end());
    for (const std::vector<std::uint8_t>& child : children) {
        while (node.size() % 4 != 0)
            node.push_back(0);
        node.insert(node.end(), child.begin(), child.end());
    }
    Put16(node, 0, static_cast<std::uint16_t>(node.size()));
    Put16(node, 2, static_cast<std::uint16_t>(type == 1 ? value.size() / 2 : value.size()));
    Put16(node, 4, type);
    return node;
}

std::vector<std::uint8_t> Text(const std::u16string& text) {
    std::vector<std::uint8_t> bytes;
    for (char16_t c : text + u'\0') {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

std::vector<std::uint8_t> VersionBlock(std::uint16_t language, std::uint16_t codePage) {
    std::vector<std::uint8_t> fixed(52, 0);
    Put32(fixed, 0, 0xFEEF04BD);
    Put32(fixed, 4, 0x00010000);
    Put32(fixed, 8, 0x00010002);
    Put32(fixed, 12, 0x00030004);
    Put32(fixed, 16, 0x00050006);
    Put32(fixed, 20, 0x00070008);
    Put32(fixed, 32, 4);
    Put32(fixed, 36, 1);
    Put32(fixed, 44, 0x01D00000);
    Put32(fixed, 48, 0x12345678);
    std::vector<std::vector<std::uint8_t>> strings;
    for (const char16_t* name :
         {u"CompanyName", u"FileDescription", u"FileVersion", u"InternalName", u"LegalCopyright",
          u"OriginalFilename", u"ProductName", u"ProductVersion"}) {
        std::u16string text = name == std::u16string(u"CompanyName")
                                  ? u"Northwind Graphics"
                                  : std::u16string(name) + u" text";
        strings.push_back(Node(name, 1, Text(text), {}));
    }
    const char digits[] = "0123456789ABCDEF";
    std::u16string key;
    for (std::uint16_t word : {language, codePage}) {
        for (int shift = 12; shift >= 0; shift -= 4)
            key.push_back(static_cast<char16_t>(digits[(word >> shift) & 0xF]));
    }
    std::vector<std::uint8_t> translation(4);
    Put16(translation, 0, language);
    Put16(translation, 2, codePage);
    auto table = Node(key, 1, {}, strings);
    auto stringInfo = Node(u"StringFileInfo", 1, {}, {table});
    auto varInfo = Node(u"VarFileInfo", 1, {}, {Node(u"Translation", 0, translation, {})});
    return Node(u"VS_VERSION_INFO", 0, fixed, {stringInfo, varInfo});
}

namespace {

std::vector<std::uint8_t> NarrowNode(const std::string& key, const std::vector<std::uint8_t>& value,
                                     const std::vector<std::vector<std::uint8_t>>& children) {
    std::vector<std::uint8_t> node(4, 0);
    node.insert(node.end(), key.begin(), key.end());
    node.push_back(0);
    while (node.size() % 4 != 0)
        node.push_back(0);
    node.insert(node.end(), value.begin(), value.end());
    for (const std::vector<std::uint8_t>& child : children) {
        while (node.size() % 4 != 0)
            node.push_back(0);
        node.insert(node.end(), child.begin(), child.end());
    }
    Put16(node, 0, static_cast<std::uint16_t>(node.size()));
    Put16(node, 2, static_cast<std::uint16_t>(value.size()));
    return node;
}

std::vector<std::uint8_t> NarrowText(const std::string& text) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

} // namespace

std::vector<std::uint8_t> NarrowVersionBlock(std::uint16_t language, std::uint16_t codePage) {
    std::vector<std::uint8_t> fixed(52, 0);
    Put32(fixed, 0, 0xFEEF04BD);
    Put32(fixed, 8, 0x00030000);
    Put32(fixed, 12, 0x000A0001);
    Put32(fixed, 16, 0x00030000);
    Put32(fixed, 20, 0x000A0000);
    Put32(fixed, 32, 0x00010001); // DOS and 16-bit Windows
    Put32(fixed, 36, 1);
    std::vector<std::uint8_t> translation(4);
    Put16(translation, 0, language);
    Put16(translation, 2, codePage);
    char key[9];
    std::snprintf(key, sizeof key, "%04X%04X", language, codePage);
    auto table = NarrowNode(key, {},
                            {NarrowNode("CompanyName", NarrowText("Northwind Graphics"), {}),
                             NarrowNode("FileVersion", NarrowText("3.10.1"), {})});
    auto stringInfo = NarrowNode("StringFileInfo", {}, {table});
    auto varInfo = NarrowNode("VarFileInfo", {}, {NarrowNode("Translation", translation, {})});
    return NarrowNode("VS_VERSION_INFO", fixed, {stringInfo, varInfo});
}

std::vector<std::uint8_t> BuildPe(const PeOptions& options) {
    std::size_t size = options.version.empty() ? 0x400 : VersionBlockAt + options.version.size();
    std::vector<std::uint8_t> image(size, 0);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, PeOffset);
    std::memcpy(&image[PeOffset], "PE\0\0", 4);
    std::size_t file = PeOffset + 4;
    Put16(image, file + 0, options.pe32Plus ? 0x8664 : 0x14C);
    Put16(image, file + 2, 1);          // one section
    Put32(image, file + 4, 0x5F3A1B2C); // TimeDateStamp
    std::uint16_t optionalSize = options.pe32Plus ? 240 : 224;
    Put16(image, file + 16, optionalSize);
    Put16(image, Optional, options.pe32Plus ? 0x20B : 0x10B);
    Put16(image, Optional + 44, 6); // image version 6.3
    Put16(image, Optional + 46, 3);
    Put32(image, Optional + 56, 0x3000);     // SizeOfImage
    Put32(image, Optional + 64, 0x0001ABCD); // CheckSum
    std::size_t count = Optional + (options.pe32Plus ? 108 : 92);
    Put32(image, count, 16);
    if (options.exports) {
        Put32(image, count + 4, SectionRva); // export directory
        Put32(image, count + 8, 40);
    }
    std::uint32_t resourceRva = SectionRva + (ResourceRaw - SectionRaw);
    if (!options.version.empty()) {
        Put32(image, count + 4 + 16, resourceRva); // resource directory
        Put32(image, count + 8 + 16, static_cast<std::uint32_t>(size - ResourceRaw));
    }
    std::size_t section = Optional + optionalSize;
    std::memcpy(&image[section], ".data\0\0\0", 8);
    std::uint32_t rawSize = options.version.empty() ? 0x100 : std::uint32_t(size - SectionRaw);
    Put32(image, section + 8, rawSize);
    Put32(image, section + 12, SectionRva);
    Put32(image, section + 16, rawSize);
    Put32(image, section + 20, SectionRaw);
    if (options.exports) {
        Put32(image, SectionRaw + 12, SectionRva + 0x40); // Name RVA
        std::memcpy(&image[ExportNameAt], "sample.dll", 11);
    }
    if (!options.version.empty()) {
        // Type 16 -> name 1 -> language 0x409 -> data entry -> the block.
        std::size_t root = ResourceRaw;
        Put16(image, root + 14, 1);
        Put32(image, root + 16, 16);
        Put32(image, root + 20, 0x80000000u | 0x18);
        Put16(image, root + 0x18 + 14, 1);
        Put32(image, root + 0x18 + 16, 1);
        Put32(image, root + 0x18 + 20, 0x80000000u | 0x30);
        Put16(image, root + 0x30 + 14, 1);
        Put32(image, root + 0x30 + 16, 0x409);
        Put32(image, root + 0x30 + 20, 0x48);
        Put32(image, root + 0x48, resourceRva + 0x58);
        Put32(image, root + 0x48 + 4, static_cast<std::uint32_t>(options.version.size()));
        std::memcpy(&image[VersionBlockAt], options.version.data(), options.version.size());
    }
    return image;
}

std::vector<std::uint8_t> BuildNe(const std::string& moduleName, const std::string& description,
                                  const std::vector<std::uint8_t>& version) {
    const std::size_t ne = NeHeaderAt, resident = 0x40, nonResident = 0x100;
    std::vector<std::uint8_t> image(NeVersionAt + version.size(), 0);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, ne);
    image[ne] = 'N';
    image[ne + 1] = 'E';
    image[ne + 2] = 5; // linker version 5.10: not the LINKER_VERSION of a PE
    image[ne + 3] = 10;
    Put16(image, ne + 0x26, resident);
    Put32(image, ne + 0x2C, nonResident);
    Put16(image, ne + 0x20, static_cast<std::uint16_t>(description.size() + 4));
    image[ne + resident] = static_cast<std::uint8_t>(moduleName.size());
    std::memcpy(&image[ne + resident + 1], moduleName.data(), moduleName.size());
    image[nonResident] = static_cast<std::uint8_t>(description.size());
    std::memcpy(&image[nonResident + 1], description.data(), description.size());
    // Alignment shift 4; an icon (type 3) first, then the version, then the end.
    const std::size_t table = ne + NeResources;
    Put16(image, ne + 0x24, NeResources);
    Put16(image, table, 4);
    Put16(image, table + 2, 0x8003);
    Put16(image, table + 4, 1);
    Put16(image, table + 2 + 8, 0x0010); // the icon's data: irrelevant
    if (!version.empty()) {
        const std::size_t type = table + 2 + 8 + 12;
        Put16(image, type, 0x8010);
        Put16(image, type + 2, 1);
        Put16(image, type + 8, NeVersionAt >> 4);
        Put16(image, type + 10, static_cast<std::uint16_t>((version.size() + 15) >> 4));
        std::memcpy(&image[NeVersionAt], version.data(), version.size());
        image.resize(NeVersionAt + ((version.size() + 15) & ~std::size_t(15)), 0);
    }
    return image;
}

} // namespace test_images
