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

// A list being walked: the next child's offset and the end of the list's data. A list
// whose size runs past its parent is walked up to the parent's end, and its problem is
// reported when its children are done.
struct Frame {
    uint32_t next;
    uint32_t end;
    TAGID cut;
    WalkProblem cut_problem;
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

// A list whose header fits before `end` though its data does not: its children up to
// `end` can still be shown.
bool cut_list(const Database& db, TAGID tagid, uint32_t end, Item* item) {
    if (uint64_t{tagid} + 6 > end || tag_type(load16(db.image + tagid)) != TAG_TYPE_LIST) {
        return false;
    }
    item->tag = load16(db.image + tagid);
    item->data = tagid + 6;
    item->size = end - item->data;
    item->end = end;
    return true;
}

// Walks the items from `first` to `end` and what they hold.
static WalkResult walk_range(const Database& db, uint32_t first, uint32_t end,
                             const std::function<void(TAGID tagid, unsigned depth)>& visit) {
    WalkResult result;
    Frame stack[MAX_DEPTH];
    unsigned depth = 0;
    stack[0] = Frame{first, end, 0, WalkProblem::None};
    for (;;) {
        Frame& frame = stack[depth];
        if (frame.next >= frame.end) {
            if (frame.cut != 0) {
                result.problem = frame.cut_problem;
                result.where = frame.cut;
                return result;
            }
            if (depth == 0) {
                return result;
            }
            --depth;
            continue;
        }
        TAGID tagid = frame.next;
        Item item;
        WalkProblem problem = check_item(db, tagid, frame.end, &item);
        bool bad_value =
            problem == WalkProblem::BadStringRef || problem == WalkProblem::UnterminatedString;
        if (bad_value && result.value_problem == WalkProblem::None) {
            result.value_problem = problem;
            result.value_where = tagid;
        }
        bool cut =
            (problem == WalkProblem::ItemPastParent || problem == WalkProblem::ItemPastFile) &&
            cut_list(db, tagid, frame.end, &item);
        if (problem != WalkProblem::None && !cut && !bad_value) {
            result.problem = problem;
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
            stack[++depth] = Frame{item.data, item.end, cut ? tagid : 0, problem};
        } else if (cut) {
            result.problem = problem;
            result.where = tagid;
            return result;
        }
    }
}

WalkResult walk_database(const Database& db,
                         const std::function<void(TAGID tagid, unsigned depth)>& visit) {
    return walk_range(db, HEADER_SIZE, db.size, visit);
}

WalkResult walk_item(const Database& db, TAGID item,
                     const std::function<void(TAGID tagid, unsigned depth)>& visit) {
    Item decoded;
    if (decode_item(db, item, db.size, &decoded) != ItemFault::None) {
        WalkResult result;
        result.problem = WalkProblem::ItemPastFile;
        result.where = item;
        return result;
    }
    return walk_range(db, item, decoded.end, visit);
}

} // namespace sdb
