// Database images built in memory for the matcher tests.
#pragma once

#include "sdb_reader.h"
#include "sdb_writer.h"

#include <functional>
#include <string>

// Builds a database image in memory: DATABASE with NAME and DATABASE_ID, then whatever the
// body writes inside it. With `indexed`, EXE and LAYER are indexed by NAME (unique keys);
// with `wildcardIndex` too, EXEs with WILDCARD_NAME are indexed by that instead, as in
// real databases.
sdb::DatabasePtr BuildDatabase(const sdb::Guid& id, bool indexed,
                               const std::function<void(sdb::Writer&)>& body,
                               bool wildcardIndex = false);

// A top-level LAYER with a NAME and one SHIM_REF; returns its TAGID.
sdb::TAGID WriteLayer(sdb::Writer& writer, const std::u16string& name);

// An EXE of that NAME whose further contents the body writes; returns its TAGID.
sdb::TAGID WriteExe(sdb::Writer& writer, const std::u16string& name,
                    const std::function<void(sdb::Writer&)>& body);

// An EXE whose NAME and WILDCARD_NAME are the pattern, with further contents as above.
sdb::TAGID WriteWildcardExe(sdb::Writer& writer, const std::u16string& pattern,
                            const std::function<void(sdb::Writer&)>& body);

// A MATCHING_FILE of that NAME whose conditions the body writes.
void WriteMatchingFile(sdb::Writer& writer, const std::u16string& name,
                       const std::function<void(sdb::Writer&)>& body);

// A LAYER nested in an EXE that names a database-level layer.
void WriteNestedLayer(sdb::Writer& writer, const std::u16string& name);

// The GUID {000000nn-0000-0000-0000-000000000000}.
sdb::Guid TestGuid(std::uint32_t n);
