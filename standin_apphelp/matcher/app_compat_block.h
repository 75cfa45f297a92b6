// The packed shim data an engine leaves in a process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The packed shim data the engine leaves in a process: a block carrying its own size, the
// magic and a 456-byte match-result record.
const std::uint32_t AppCompatMagic = 0xAC0DEDAB;
const std::uint32_t PackedBlockSize = 1500; // the form this engine writes

// Writes the packed form into `block` (PackedBlockSize bytes): the module path (up to 259
// characters), the size, the magic, the record, the layer string (up to 255 characters)
// and the image type. Longer texts are cut; the block is zeroed first.
void PackAppCompatBlock(const std::uint8_t* record, const std::u16string& modulePath,
                        const std::u16string& layers, std::uint32_t imageType, std::uint8_t* block);

// The size a block declares, when its magic and size fit one of the known forms and the
// fields needed lie within the `available` bytes that can be read at `block`; else 0.
std::uint32_t AppCompatBlockSize(const std::uint8_t* block, std::size_t available);

// Copies the record of a block of a known form into `record` (456 bytes). Refuses a block
// of unknown form, one whose record lies past the `available` bytes, and one whose record
// counts exceed its slots.
bool UnpackAppCompatBlock(const std::uint8_t* block, std::size_t available, std::uint8_t* record);
