// Builders of small executables and version blocks for the tests, the fuzz seeds and the bench.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace test_images {

void Put16(std::vector<std::uint8_t>& image, std::size_t at, std::uint16_t value);
void Put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value);

// One node of a version block: header, key, padded value, padded children. A value of type 1
// is text, its length counted in characters.
std::vector<std::uint8_t> Node(const std::u16string& key, std::uint16_t type,
                               const std::vector<std::uint8_t>& value,
                               const std::vector<std::vector<std::uint8_t>>& children);
// UTF-16 text with its terminator.
std::vector<std::uint8_t> Text(const std::u16string& text);

// A version block: file version 1.2.3.4, product version 5.6.7.8, OS 4, type 1, dates
// 0x01D00000/0x12345678; one translation (language, code page) and its table of the eight
// strings, each named "<name> text" (CompanyName is "Northwind Graphics").
std::vector<std::uint8_t> VersionBlock(std::uint16_t language = 0x0409,
                                       std::uint16_t codePage = 0x04B0);

// The same block in the 16-bit form of NE files: 8-bit keys and texts, no type words.
std::vector<std::uint8_t> NarrowVersionBlock(std::uint16_t language = 0x0409,
                                             std::uint16_t codePage = 0x04E4);

// Where BuildPe puts things.
const std::size_t PeOffset = 0x80;
const std::size_t Optional = PeOffset + 24;
const std::size_t SectionRaw = 0x200;
const std::uint32_t SectionRva = 0x1000;
const std::size_t ExportNameAt = SectionRaw + 0x40; // "sample.dll"
const std::size_t ResourceRaw = 0x400;              // the resource root, when there is one
const std::size_t VersionBlockAt = ResourceRaw + 0x58;

struct PeOptions {
    bool pe32Plus = false;
    bool exports = true;
    std::vector<std::uint8_t> version; // no resources when empty
};

// A PE image: link date 0x5F3A1B2C, image version 6.3, SizeOfImage 0x3000, CheckSum
// 0x0001ABCD, one section (RVA 0x1000 at 0x200) holding the export directory and the
// resources. 0x400 bytes without resources.
std::vector<std::uint8_t> BuildPe(const PeOptions& options);

// An NE image whose resident-name table starts with moduleName and whose non-resident one
// starts with description; its resource table (at NeResources from the NE header, alignment
// shift 4) holds an icon and, when version is not empty, that version block at NeVersionAt.
const std::size_t NeHeaderAt = 0x80;
const std::size_t NeResources = 0x140;
const std::size_t NeVersionAt = 0x200;
std::vector<std::uint8_t> BuildNe(const std::string& moduleName, const std::string& description,
                                  const std::vector<std::uint8_t>& version = {});

} // namespace test_images
