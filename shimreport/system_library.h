// The load of a DLL from the system directory only.
#pragma once

#include <windows.h>

// Loads a DLL from the system directory only, never from the program's folder or the search
// path. Where the loader lacks the system-directory search flag, the full path is used.
HMODULE LoadSystemLibrary(const wchar_t* fileName);
