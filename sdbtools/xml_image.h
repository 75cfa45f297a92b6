// Compiling the file dialect, the XML that `sdbdump --xml` writes, back into the image it
// came from, byte for byte (see "The file dialect" in sdb/README.md).
#pragma once

#include "xml_compile.h"

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <vector>

// Compiles the document (whose element is SDB) parsed from `xml`. False, with the reason
// and its line in *error, when it does not describe a database (a dump that stopped at a
// damaged item, an unknown element, a value that does not fit its type). Notes that do not
// stop the compile (items that moved after an edit) go to `notes`.
bool compile_file_xml(const std::string& xml, const pugi::xml_document& document,
                      std::vector<uint8_t>* image, CompileError* error,
                      std::vector<CompileError>* notes);
