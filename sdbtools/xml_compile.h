// Compiling the XML description of a shim database into a database image.
#pragma once

#include "sdb_writer.h"

#include <pugixml.hpp>

#include <string>
#include <vector>

struct CompileOptions {
    uint32_t major = 2;  // header version: 2 (2.1) or 3 (3.0)
    bool indexes = true; // write INDEXES (EXE by NAME, SHIM by NAME)
};

// Where and why compiling failed; line 0 when no line applies.
struct CompileError {
    unsigned line = 0;
    std::string message;
};

// Parses the XML of either dialect. Text values keep their whitespace and line ends
// exactly, as the file dialect needs.
bool parse_xml(const std::string& xml, pugi::xml_document* document, CompileError* error);

// Compiles the document (whose element is DATABASE), parsed from `xml`, into a writer
// ready to be closed. Notes that do not stop the
// compile (a reference to an item of another database) go to `notes`, each with its line.
sdb::WriterPtr compile_xml(const std::string& xml, const pugi::xml_document& document,
                           const CompileOptions& options, CompileError* error,
                           std::vector<CompileError>* notes);
