// The JSON Lines output: one object for the banner, then one per target.
#pragma once

#include <windows.h>

#include <string>

// The first line: the schema version and the system version of the banner.
void WriteJsonBanner();

// The object of one file; exists says whether the path named an existing file. With explain,
// the object has the "explain" field.
void WriteJsonFile(const std::wstring& path, bool exists, bool explain);

// The object of one process that IdentifyProcess has just identified: opened, its label and
// the label's failure code are what that call gave. With explain, an opened process's object
// has the "explain" field, one that could not be opened has it null.
void WriteJsonProcess(DWORD processId, const std::wstring& listedName, bool opened,
                      const std::wstring& label, DWORD failureCode, bool explain);

// The closing object of a run that reported processes: how many were reported, could not be
// opened, and ended before they could be read.
void WriteJsonSummary(unsigned reported, unsigned notOpened, unsigned ended);
