// A generated database of the size of a Windows 10 system database, for the benchmarks:
// 20,000 EXE entries named program00000.exe..., 900 wildcard patterns, about 4 MB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

const int GeneratedEntries = 20000;
const int WildcardEntries = 900;

// "program%05d.exe": the name of generated entry i.
std::u16string GeneratedProgramName(int i);

// The database's bytes, with that NAME and, when id is given, that DATABASE_ID; empty when
// the writer fails. Entries like most of a system database's: the program's size, checksum,
// version and company, sometimes a second file beside it; patterns of a system database's
// shapes (`*` alone, `*word*`, `word*.exe`, `?`).
std::vector<std::uint8_t> GeneratedDatabaseBytes(const std::u16string& name = u"Generated database",
                                                 const char* id = nullptr);
