// Reads the nodes of a version resource block and checks its tree.
#include "version_block.h"

namespace {

const int MaxDepth = 6;

std::uint64_t AlignTo4(std::uint64_t offset) {
    return (offset + 3) & ~std::uint64_t(3);
}

bool NodeIsSound(ByteView block, VersionForm form, std::uint64_t start, std::uint64_t parentEnd,
                 int depth) {
    VersionNode node;
    if (depth > MaxDepth || !ReadVersionNode(block, form, start, node) || node.end > parentEnd ||
        node.type > 1)
        return false;
    if (node.valueSize != 0 && node.value + node.valueSize > node.end)
        return false;
    for (std::uint64_t child = node.children; child < node.end;) {
        std::uint16_t childLength = 0;
        if (!NodeIsSound(block, form, child, node.end, depth + 1) ||
            !ReadU16(block, child, childLength))
            return false;
        child = AlignTo4(child + childLength);
    }
    return true;
}

} // namespace

bool ReadVersionNode(ByteView block, VersionForm form, std::uint64_t start, VersionNode& node) {
    // wLength, wValueLength, then wType in the wide form only.
    const std::uint64_t headerSize = form == VersionForm::Wide ? 6 : 4;
    std::uint16_t length = 0, valueLength = 0, type = 0;
    if (!ReadU16(block, start, length) || !ReadU16(block, start + 2, valueLength) ||
        (form == VersionForm::Wide && !ReadU16(block, start + 4, type)) || length < headerSize)
        return false;
    node.end = start + length;
    node.key = start + headerSize;
    node.type = type;
    const unsigned width = CharacterSize(form);
    std::uint64_t at = node.key;
    for (std::uint16_t unit = 1; unit != 0; at += width) {
        if (at + width > node.end || !FitsIn(block, at, width))
            return false;
        unit = width == 2 ? static_cast<std::uint16_t>(block.data[at] | (block.data[at + 1] << 8))
                          : block.data[at];
    }
    node.value = AlignTo4(at);
    node.valueSize = type == 1 ? std::uint64_t(valueLength) * 2 : valueLength;
    node.children = AlignTo4(node.value + node.valueSize);
    return true;
}

bool VersionBlockIsSound(ByteView block, VersionForm form) {
    return NodeIsSound(block, form, 0, block.size, 0);
}
