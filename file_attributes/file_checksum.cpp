// Computes the CHECKSUM attribute of a file's bytes.
#include "file_checksum.h"

#include <array>

namespace {

const std::uint64_t Window = 0x1000;
const std::uint64_t Skip = 0x200;

// Where the summed bytes lie in a file of that size.
void ChecksumWindow(std::uint64_t size, std::uint64_t& start, std::uint64_t& length) {
    start = 0;
    length = size;
    if (size >= Window + Skip) {
        start = Skip;
        length = Window;
    } else if (size > Window) {
        start = size - Window;
        length = Window;
    }
}

// Each whole word is added, then the sum rotated right by one; a last partial word is left out.
std::uint32_t RotatingSum(ByteView window) {
    std::uint32_t sum = 0;
    for (std::size_t offset = 0; offset + 4 <= window.size; offset += 4) {
        std::uint32_t word = 0;
        ReadU32(window, offset, word);
        sum += word;
        sum = (sum >> 1) | (sum << 31);
    }
    return sum;
}

} // namespace

std::uint32_t FileChecksum(ByteView file) {
    std::uint64_t start = 0, length = 0;
    ChecksumWindow(file.size, start, length);
    return RotatingSum(ByteView{file.data + start, static_cast<std::size_t>(length)});
}

bool SourceChecksum(const ByteSource& file, std::uint32_t& checksum) {
    std::uint64_t start = 0, length = 0;
    ChecksumWindow(file.Size(), start, length);
    std::array<std::uint8_t, Window> window;
    if (!file.Read(start, static_cast<std::size_t>(length), window.data()))
        return false;
    checksum = RotatingSum(ByteView{window.data(), static_cast<std::size_t>(length)});
    return true;
}
