// The nodes of a version resource block, and the well-formedness check of the block.
#pragma once

#include "byte_reader.h"

// The two forms of version block: the 32-bit one (UTF-16 keys and texts, a type word in each
// node) and the 16-bit one of NE files (8-bit keys and texts, no type word).
enum class VersionForm { Wide, Narrow };

// One node of a version block: where its key, value and children lie, in block offsets.
struct VersionNode {
    std::uint64_t end;
    std::uint64_t key;
    std::uint64_t value;
    std::uint64_t valueSize; // in bytes
    std::uint64_t children;
    std::uint16_t type; // 1 for text in the wide form; 0 in the narrow one
};

// Reads the node at start. False when its header does not lie in the block, its length is
// too small for the header, or its key does not end inside the block and the node.
bool ReadVersionNode(ByteView block, VersionForm form, std::uint64_t start, VersionNode& node);

// The width in bytes of a key's or text's characters.
inline unsigned CharacterSize(VersionForm form) {
    return form == VersionForm::Wide ? 2 : 1;
}

// True when a version resource block is a well-formed tree: every node's length lies inside
// its parent, its key ends inside the node and its value fits after the key. Only a sound
// block is read; the platform's version queries trust these lengths.
bool VersionBlockIsSound(ByteView block, VersionForm form = VersionForm::Wide);
