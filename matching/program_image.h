// What the matcher needs from a program's headers besides its attributes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct ProgramImage {
    std::uint16_t machine = 0;   // the PE header's Machine; 0 for no PE image
    std::u16string moduleName16; // an NE image's module name; empty for none
};

// Reads the PE machine or the NE module name (the resident-name table's first string, its
// length byte honoured) from a file's first bytes; never reads outside them.
ProgramImage ReadProgramImage(const std::uint8_t* data, std::size_t size);
