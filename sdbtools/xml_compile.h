// Compiling the XML description of a shim database into a database image.
#pragma once

#include "sdb_writer.h"

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

// Compiles the XML text into a writer ready to be closed. Notes that do not stop the
// compile (a reference to an item of another database) go to `notes`, each with its line.
sdb::WriterPtr compile_xml(const std::string& xml, const CompileOptions& options,
                           CompileError* error, std::vector<CompileError>* notes);
