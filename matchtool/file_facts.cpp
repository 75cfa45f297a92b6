// Reads a file on disk into its matching attributes.
#include "file_facts.h"

#include "file_checksum.h"
#include "pe_image.h"

#include <fstream>
#include <iterator>
#include <vector>

bool ReadFileFacts(const std::string& path, FileAttributes& attributes, ProgramImage& image) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    ByteView view = {bytes.data(), bytes.size()};
    if (bytes.size() <= 0xFFFFFFFFull)
        attributes.numbers[sdb::TAG_SIZE] = bytes.size();
    attributes.numbers[sdb::TAG_CHECKSUM] = FileChecksum(view);
    AddImageAttributes(view, attributes);
    image = ReadProgramImage(bytes.data(), bytes.size());
    return true;
}
