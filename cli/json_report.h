// The JSON Lines output: one object for the banner, then one per target.
#pragma once

#include <windows.h>

#include <string>

// The first line: the schema version and the system version of the banner.
void WriteJsonBanner();

// The object of one file; exists says whether the path named an existing file. With explain,
// the object has the "explain" field.
void WriteJsonFile(const std::wstring& path, bool exists, bool explain);

// The object of one process; false when it could not be opened. With explain, an opened
// process's object has the "explain" field, one that could not be opened has it null.
bool WriteJsonProcess(DWORD processId, const std::wstring& listedName, bool explain);
