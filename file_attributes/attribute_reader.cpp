// Gathers a file's attributes from its checksum window, headers and version block.
#include "attribute_reader.h"

#include "file_checksum.h"
#include "pe_image.h"
#include "version_resource.h"

#include <utility>
#include <vector>

namespace {

void CopyBound(FileAttributes& attributes, std::uint16_t bound, std::uint16_t value) {
    auto found = attributes.numbers.find(value);
    if (found != attributes.numbers.end())
        attributes.numbers[bound] = found->second;
}

} // namespace

void ReadFileAttributes(const ByteSource& file, FileAttributes& attributes) {
    std::uint64_t size = file.Size();
    if (size <= 0xFFFFFFFFu)
        attributes.numbers[sdb::TAG_SIZE] = size;
    std::uint32_t checksum = 0;
    if (SourceChecksum(file, checksum))
        attributes.numbers[sdb::TAG_CHECKSUM] = checksum;
    ImageFacts facts = AddImageAttributes(file, attributes);
    std::vector<std::uint8_t> block;
    if (facts.hasVersion && ReadUpTo(file, facts.version.offset, facts.version.size, block))
        AddVersionAttributes(ByteView{block.data(), block.size()}, facts.form, attributes);
    if (facts.type == ModulePe) {
        // A PE without a translation has VER_LANGUAGE empty, not failed; a plain PE is no
        // wrapper.
        attributes.numbers.emplace(sdb::TAG_VER_LANGUAGE, 0);
        attributes.numbers[sdb::TAG_EXE_WRAPPER] = 0;
    }
    CopyBound(attributes, sdb::TAG_UPTO_BIN_FILE_VERSION, sdb::TAG_BIN_FILE_VERSION);
    CopyBound(attributes, sdb::TAG_UPTO_BIN_PRODUCT_VERSION, sdb::TAG_BIN_PRODUCT_VERSION);
    CopyBound(attributes, sdb::TAG_UPTO_LINK_DATE, sdb::TAG_LINK_DATE);
}

bool ReadFileAttributesOf(const PositionedFileSource& file, FileAttributes& attributes) {
    const HeadCachedSource cached(file);
    FileAttributes read;
    ReadFileAttributes(cached, read);
    if (file.Failed())
        return false;
    attributes = std::move(read);
    return true;
}
