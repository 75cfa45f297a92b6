// The whole database as XML, one element per item in file order, which sdbc compiles back
// into the same bytes (see "The file dialect" in sdb/README.md).
#pragma once

#include "sdb_walk.h"

#include <ostream>

// Writes the document; an item of unsound extent ends it with a STOPPED element. Returns
// the walk's result; the caller reports it.
sdb::WalkResult dump_xml(const sdb::Database& db, std::ostream& out);
