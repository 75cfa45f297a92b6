// The whole database as JSON: the tree of the XML dump, for scripts.
#pragma once

#include "sdb_walk.h"

#include <ostream>

// Writes the document; an item of unsound extent ends it with a "stopped" member. Returns
// the walk's result; the caller reports it.
sdb::WalkResult dump_json(const sdb::Database& db, std::ostream& out);
