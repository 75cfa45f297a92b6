// Reads a file on disk into its matching attributes.
#include "file_facts.h"

#include "path_attributes.h"

#include <fstream>
#include <vector>

namespace {

// The program's machine and NE module name lie in its headers, well inside this.
const std::size_t HeadSize = 64 * 1024;

} // namespace

bool ReadFileFacts(const std::string& path, FileAttributes& attributes, ProgramImage& image) {
    if (!ReadFileAttributesAtPath(path, attributes))
        return false;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> head(HeadSize);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    image = ReadProgramImage(reinterpret_cast<const std::uint8_t*>(head.data()),
                             static_cast<std::size_t>(in.gcount()));
    return true;
}
