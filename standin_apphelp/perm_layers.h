// The stored layer strings and the flags that choose them.
#pragma once

#include <windows.h>

#include <string>

// Which stored layer strings SdbGetPermLayerKeys reads.
const DWORD GPLK_USER = 0x1;
const DWORD GPLK_MACHINE = 0x2;

// The layer string stored for a file: per machine, per user, or both (machine string, a
// space, user string). False when none of the asked strings exists.
bool ReadPermLayers(const wchar_t* path, DWORD flags, std::wstring& layers);
