// The items of a database as the walk reaches them, for the audit: the same items the dump
// shows, damaged lists included, with strings and binaries read as far as their bytes go.
#pragma once

#include "sdb_reader.h"
#include "sdb_walk.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace sdb {

// Text read from an item, pointing into the image.
struct SalvagedText {
    std::u16string_view text;
    bool present = false; // the item is a string, or a reference to a string-table entry
    bool cut = false;     // the bytes end before the terminating NUL: `text` is what survives
};

// Binary data read from an item, as much of it as the file holds.
struct SalvagedBinary {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    bool cut = false; // the file ends inside the data
};

// A node is an index into the items in file order; NO_NODE is none.
const uint32_t NO_NODE = 0xFFFFFFFFu;

class AuditTree {
public:
    // Walks the whole database once.
    explicit AuditTree(const Database& db);

    const WalkResult& walk() const { return walk_; }
    // The first top-level item; NO_NODE for an empty file.
    uint32_t first_top() const { return at_.empty() ? NO_NODE : 0; }
    uint32_t first_child(uint32_t node) const;
    uint32_t next_sibling(uint32_t node) const { return next_[node]; }
    // The first direct child with the tag; NO_NODE when none.
    uint32_t child(uint32_t node, TAG tag) const;
    // The node of an item by its TAGID; NO_NODE when the walk did not reach one there.
    uint32_t node_at(TAGID tagid) const;

    TAGID tagid(uint32_t node) const { return at_[node]; }
    TAG tag(uint32_t node) const { return tag_[node]; }

    // The DWORD of a DWORD item; `fallback` when the node is none or not a whole DWORD.
    uint32_t dword(uint32_t node, uint32_t fallback = 0) const;
    // The QWORD of a QWORD item; 0 when the node is none or not a whole QWORD.
    uint64_t qword(uint32_t node) const;
    // The text of a STRING or STRINGREF item.
    SalvagedText text(uint32_t node) const;
    // The text of a node's first child of the tag.
    SalvagedText child_text(uint32_t node, TAG tag) const { return text(child(node, tag)); }
    // The data of a BINARY item.
    SalvagedBinary binary(uint32_t node) const;

private:
    const Database& db_;
    WalkResult walk_;
    std::vector<TAGID> at_;
    std::vector<TAG> tag_;
    std::vector<uint32_t> depth_;
    std::vector<uint32_t> next_;
};

} // namespace sdb
