// Walking a whole database in file order with every item checked.
#include "sdb_walk.h"

#include "sdb_image.h"

namespace sdb {

const char* walk_problem_text(WalkProblem problem) {
    switch (problem) {
    case WalkProblem::None:
        return "no problem";
    case WalkProblem::ItemPastFile:
        return "item runs past the end of the file";
    case WalkProblem::ItemPastParent:
        return "item runs past the end of its list";
    case WalkProblem::TooDeep:
        return "lists nested too deeply";
    case WalkProblem::BadStringRef:
        return "string reference outside the string table";
    case WalkProblem::UnterminatedString:
        return "string without its terminating NUL";
    case WalkProblem::UnknownType:
        return "tag of unknown type";
    }
    return "unknown problem";
}

namespace {

// A list being walked: the next child's offset and the end of the list's data.
struct Frame {
    uint32_t next;
    uint32_t end;
};

WalkProblem check_item(const Database& db, TAGID tagid, uint32_t end, Item* item) {
    switch (decode_item(db, tagid, end, item)) {
    case ItemFault::None:
        break;
    case ItemFault::UnknownType:
        return WalkProblem::UnknownType;
    case ItemFault::PastEnd:
        // Within the file it would fit, so it is its list that is too short.
        return decode_item(db, tagid, db.size, item) == ItemFault::None
                   ? WalkProblem::ItemPastParent
                   : WalkProblem::ItemPastFile;
    }
    TAG type = tag_type(item->tag);
    if (type == TAG_TYPE_STRING && string_in(db, *item) == nullptr) {
        return WalkProblem::UnterminatedString;
    }
    if (type == TAG_TYPE_STRINGREF &&
        get_stringtable_ptr(db, load32(db.image + item->data)) == nullptr) {
        return WalkProblem::BadStringRef;
    }
    return WalkProblem::None;
}

} // namespace

WalkResult walk_database(const Database& db,
                         const std::function<void(TAGID tagid, unsigned depth)>& visit) {
    WalkResult result;
    Frame stack[MAX_DEPTH];
    unsigned depth = 0;
    stack[0] = Frame{HEADER_SIZE, db.size};
    for (;;) {
        Frame& frame = stack[depth];
        if (frame.next >= frame.end) {
            if (depth == 0) {
                return result;
            }
            --depth;
            continue;
        }
        TAGID tagid = frame.next;
        Item item;
        result.problem = check_item(db, tagid, frame.end, &item);
        if (result.problem != WalkProblem::None) {
            result.where = tagid;
            return result;
        }
        visit(tagid, depth);
        frame.next = align_even(item.end);
        if (tag_type(item.tag) == TAG_TYPE_LIST && item.size > 0) {
            if (depth + 1 >= MAX_DEPTH) {
                result.problem = WalkProblem::TooDeep;
                result.where = item.data;
                return result;
            }
            stack[++depth] = Frame{item.data, item.end};
        }
    }
}

} // namespace sdb
