// The databases a context opens.
#pragma once

#include "handles.h"

// Opens a database file for a context; false when it cannot be read as a database.
bool AddDatabaseFile(Context& context, const std::wstring& path, const std::wstring& customGuid);

// The main shim database of the image type (the 64-bit one for x64 images when it exists),
// then the custom databases installed in the registry, numbered in that order.
void LoadInstalledDatabases(Context& context);

// True when the registry lists the custom database for the executable of that file name.
bool CustomDatabaseApplies(const std::wstring& customGuid, const std::wstring& exeName);
