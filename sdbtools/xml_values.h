// Attribute values of the XML description, read according to their tag's type.
#pragma once

#include "sdb_writer.h"

#include <string>

// Writes the item of `tag` with the attribute text as its value. False, with the reason
// in *problem, when the text does not fit the tag's type.
bool write_attribute(sdb::Writer& writer, sdb::TAG tag, const std::string& text,
                     std::string* problem);
