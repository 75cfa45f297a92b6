// What the engine's PDB and HSDB handles point at.
#pragma once

#include "apphelp_types.h"

#include "sdb_exe_lookup.h"
#include "sdb_reader.h"
#include "sdb_writer.h"

#include <memory>
#include <string>
#include <vector>

// What a PDB points at: an open database for reading, or one being written.
struct DatabaseHandle {
    DWORD magic;
    sdb::DatabasePtr reader;
    sdb::WriterPtr writer;
    std::wstring writePath;
    bool ownedByContext; // closed by SdbReleaseDatabase, not by SdbCloseDatabase
};

// One numbered database of a context; customGuid is the registry name of a custom one.
// Its EXE lookup is built when the context loads it and kept for every match.
struct ContextDatabase {
    std::unique_ptr<DatabaseHandle> handle;
    std::wstring customGuid;
    std::unique_ptr<sdb::ExeIndex> exeIndex;
};

// What an HSDB points at: the databases numbered 0, 1, ... in the order they were loaded.
struct Context {
    DWORD magic;
    USHORT imageType;
    std::vector<ContextDatabase> databases;
};

const DWORD DatabaseHandleMagic = 0x62647351; // "Qsdb"
const DWORD ContextMagic = 0x78637351;        // "Qscx"

std::unique_ptr<DatabaseHandle> NewReaderHandle(sdb::DatabasePtr reader, bool ownedByContext);

// The open database behind a PDB, or null for a null, foreign or writing handle.
const sdb::Database* ReaderOf(PDB pdb);
// The writer behind a PDB, or null when it is not one being written.
DatabaseHandle* WriterHandleOf(PDB pdb);
// The context behind an HSDB, or null.
Context* ContextOf(HSDB hsdb);

// char16_t and wchar_t are the same 16-bit units on this platform.
inline const char16_t* AsU16(const wchar_t* text) {
    return reinterpret_cast<const char16_t*>(text);
}
inline const wchar_t* AsWide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}
