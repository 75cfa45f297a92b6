// Attribute values of the XML description, read according to their tag's type.
#pragma once

#include "sdb_writer.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A whole unsigned number, decimal or 0x hex, at most `max`.
bool parse_number(const std::string& text, uint64_t max, uint64_t* value);
// A number, or a version "a.b.c.d" (missing parts are 0), each part a 16-bit word with
// the first part the most significant.
bool parse_qword(const std::string& text, uint64_t* value);
// The line (from 1) of a byte offset into the XML text; 0 for a negative offset.
unsigned xml_line(const std::string& xml, ptrdiff_t offset);

// Writes the item of `tag` with the attribute text as its value. False, with the reason
// in *problem, when the text does not fit the tag's type.
bool write_attribute(sdb::Writer& writer, sdb::TAG tag, const std::string& text,
                     std::string* problem);
