// The items of a database as the walk reaches them, with salvaging reads for the audit.
#include "sdb_audit_tree.h"

#include "sdb_image.h"

#include <algorithm>

namespace sdb {

AuditTree::AuditTree(const Database& db) : db_(db) {
    walk_ = walk_database(db, [this](TAGID tagid, unsigned depth) {
        at_.push_back(tagid);
        tag_.push_back(load16(db_.image + tagid));
        depth_.push_back(depth);
    });
    // Each node's next sibling: the next node of the same depth before one of less.
    next_.assign(at_.size(), NO_NODE);
    std::vector<uint32_t> open; // the last node seen at each depth
    for (uint32_t i = 0; i < at_.size(); ++i) {
        uint32_t depth = depth_[i];
        if (open.size() > depth) {
            next_[open[depth]] = i;
            open.resize(depth + 1);
            open[depth] = i;
        } else {
            open.push_back(i);
        }
    }
}

uint32_t AuditTree::first_child(uint32_t node) const {
    if (node == NO_NODE || node + 1 >= at_.size() || depth_[node + 1] != depth_[node] + 1) {
        return NO_NODE;
    }
    return node + 1;
}

uint32_t AuditTree::child(uint32_t node, TAG tag) const {
    for (uint32_t c = first_child(node); c != NO_NODE; c = next_[c]) {
        if (tag_[c] == tag) {
            return c;
        }
    }
    return NO_NODE;
}

uint32_t AuditTree::node_at(TAGID tagid) const {
    auto found = std::lower_bound(at_.begin(), at_.end(), tagid);
    return found != at_.end() && *found == tagid ? static_cast<uint32_t>(found - at_.begin())
                                                 : NO_NODE;
}

uint32_t AuditTree::dword(uint32_t node, uint32_t fallback) const {
    if (node == NO_NODE || tag_type(tag_[node]) != TAG_TYPE_DWORD ||
        uint64_t{at_[node]} + 6 > db_.size) {
        return fallback;
    }
    return load32(db_.image + at_[node] + 2);
}

uint64_t AuditTree::qword(uint32_t node) const {
    if (node == NO_NODE || tag_type(tag_[node]) != TAG_TYPE_QWORD ||
        uint64_t{at_[node]} + 10 > db_.size) {
        return 0;
    }
    return load64(db_.image + at_[node] + 2);
}

namespace {

// The UTF-16 text of a string item's data at `data` of `size` bytes, up to its NUL or as far
// as the file goes.
SalvagedText text_in(const Database& db, uint32_t data, uint32_t size) {
    SalvagedText out;
    if (data % 2 != 0 || data > db.size) {
        return out;
    }
    uint64_t end = std::min<uint64_t>(uint64_t{data} + size, db.size);
    const char16_t* units = reinterpret_cast<const char16_t*>(db.image + data);
    size_t count = static_cast<size_t>((end - data) / 2);
    size_t length = 0;
    while (length < count && units[length] != 0) {
        ++length;
    }
    out.present = true;
    out.cut = length == count;
    out.text = std::u16string_view(units, length);
    return out;
}

} // namespace

SalvagedText AuditTree::text(uint32_t node) const {
    if (node == NO_NODE) {
        return SalvagedText();
    }
    TAGID at = at_[node];
    if (const char16_t* whole = get_string_ptr(db_, at)) {
        SalvagedText out;
        out.text = whole;
        out.present = true;
        return out;
    }
    // Damage: read what survives of the string, or of the entry a reference leads to.
    TAG type = tag_type(tag_[node]);
    if (type == TAG_TYPE_STRINGREF && db_.stringtable != 0 && uint64_t{at} + 6 <= db_.size) {
        uint64_t entry = uint64_t{db_.stringtable} + load32(db_.image + at + 2);
        if (entry < db_.stringtable + 6u || entry + 6 > db_.size ||
            load16(db_.image + entry) != TAG_STRINGTABLE_ITEM) {
            return SalvagedText();
        }
        uint32_t from = static_cast<uint32_t>(entry);
        return text_in(db_, from + 6, load32(db_.image + from + 2));
    }
    if (type == TAG_TYPE_STRING && uint64_t{at} + 6 <= db_.size) {
        return text_in(db_, at + 6, load32(db_.image + at + 2));
    }
    return SalvagedText();
}

SalvagedBinary AuditTree::binary(uint32_t node) const {
    SalvagedBinary out;
    if (node == NO_NODE || tag_type(tag_[node]) != TAG_TYPE_BINARY ||
        uint64_t{at_[node]} + 6 > db_.size) {
        return out;
    }
    uint32_t data = at_[node] + 6;
    uint32_t size = load32(db_.image + at_[node] + 2);
    out.data = db_.image + data;
    out.cut = uint64_t{data} + size > db_.size;
    out.size = out.cut ? db_.size - data : size;
    return out;
}

} // namespace sdb
