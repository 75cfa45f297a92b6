// Printing a shim database as an indented tree.
#pragma once

#include "sdb_walk.h"

#include <ostream>

// Prints every item of db, one line each: offset, tag name (the number in hex when the
// tag is unknown) and value, indented by depth; a bad string shows as <bad string>. Stops
// at the first item of unsound extent. Returns the walk's result; the caller reports it.
sdb::WalkResult dump_database(const sdb::Database& db, std::ostream& out);
