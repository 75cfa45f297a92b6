// Printing a shim database as an indented tree.
#pragma once

#include "sdb_walk.h"

#include <ostream>
#include <string>

// A string in quotes, as it is but for control characters, which are given as \xNN;
// quotes and backslashes are not escaped, so that paths match indicators as they are.
std::string quoted(const std::string& utf8);
// As above for UTF-16 text; <bad string> for nullptr.
std::string quoted(const char16_t* text);
// An item's value as its line shows it: strings resolved (with the reference), numbers in
// hex and decimal (versions also as a.b.c.d, dates as ISO 8601), GUIDs as text, list sizes, binary
// data as its size and first bytes. The item must have passed the walk: a list's data may run past
// its parent, so its tag and size are read from the image.
std::string value_text(const sdb::Database& db, sdb::TAGID tagid, sdb::TAG tag);

// Prints every item of db, one line each: offset, tag name (the number in hex when the
// tag is unknown) and value, indented by depth; a bad string shows as <bad string>. Stops
// at the first item of unsound extent. Returns the walk's result; the caller reports it.
sdb::WalkResult dump_database(const sdb::Database& db, std::ostream& out);
// As dump_database(), for one item and the items inside it, without the header line.
sdb::WalkResult dump_item(const sdb::Database& db, sdb::TAGID item, std::ostream& out);
