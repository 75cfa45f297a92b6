// The JSON Lines output: one object for the banner, then one per target.
#pragma once

#include <windows.h>

#include <string>

// The first line: the schema version and the system version of the banner.
void WriteJsonBanner();

// The object of one file; exists says whether the path named an existing file.
void WriteJsonFile(const std::wstring& path, bool exists);

// The object of one process; false when it could not be opened.
bool WriteJsonProcess(DWORD processId, const std::wstring& listedName);
