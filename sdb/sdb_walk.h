// Walking a whole database in file order, checking every item on the way.
#pragma once

#include "sdb_reader.h"

#include <functional>

namespace sdb {

// Lists nest at most this deep (real files nest about five levels).
const unsigned MAX_DEPTH = 32;

// Why a walk stopped early.
enum class WalkProblem {
    None,
    ItemPastFile,       // an item's header or data runs past the end of the file
    ItemPastParent,     // an item's header or data runs past the end of its list
    TooDeep,            // lists nested deeper than MAX_DEPTH
    BadStringRef,       // a STRINGREF outside the string table or to a malformed entry
    UnterminatedString, // a STRING without its NUL
    UnknownType,        // a tag of no known type, whose length cannot be told
};
// A short English description of a WalkProblem.
const char* walk_problem_text(WalkProblem problem);

struct WalkResult {
    // Where and why the walk stopped: an item whose extent cannot be told or trusted.
    WalkProblem problem = WalkProblem::None;
    TAGID where = 0;
    // The first item with a bad value (BadStringRef, UnterminatedString); the walk goes on
    // past such items, since their extent is sound.
    WalkProblem value_problem = WalkProblem::None;
    TAGID value_where = 0;
};

// Visits every item from the root down, parents before children, with its depth (top-level
// items have depth 0). Items with a bad value are visited and noted in value_problem. Stops
// at the first item of unsound extent without visiting it, except that a
// list whose data runs past its parent or the file is visited with the children that fit
// before the walk stops at it.
WalkResult walk_database(const Database& db,
                         const std::function<void(TAGID tagid, unsigned depth)>& visit);

// As walk_database(), for one item and the items inside it; the item has depth 0. Stops
// at once when the item itself cannot be decoded.
WalkResult walk_item(const Database& db, TAGID item,
                     const std::function<void(TAGID tagid, unsigned depth)>& visit);

} // namespace sdb
