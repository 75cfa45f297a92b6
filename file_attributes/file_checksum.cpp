// Computes the CHECKSUM attribute of a file's bytes.
#include "file_checksum.h"

std::uint32_t FileChecksum(ByteView file) {
    const std::size_t window = 0x1000;
    const std::size_t skip = 0x200;
    if (file.size < 4)
        return 0;
    std::size_t start = 0;
    std::size_t length = file.size;
    if (file.size >= window + skip) {
        start = skip;
        length = window;
    } else if (file.size > window) {
        start = file.size - window;
        length = window;
    }
    std::uint32_t sum = 0;
    for (std::size_t offset = start; offset + 4 <= start + length; offset += 4) {
        std::uint32_t word = 0;
        ReadU32(file, offset, word);
        sum += word;
        sum = (sum >> 1) | (sum << 31);
    }
    return sum;
}
