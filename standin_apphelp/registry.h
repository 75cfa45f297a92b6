// The registry reads of the compatibility settings.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Where the compatibility settings live, under HKCU and HKLM.
#define APPCOMPAT_KEY L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags"

// On a 64-bit system (under WoW64 or not) the engine reads the 64-bit view of the registry,
// where the settings of the system are kept, and then the 32-bit view, where a 32-bit
// installer or import leaves its own. Each read below looks in that order.

// A REG_SZ or REG_EXPAND_SZ value (not expanded); false when it is missing or of another type.
bool ReadRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* value, std::wstring& out);

// True when the key has a value of that name, whatever its type.
bool RegistryValueExists(HKEY root, const wchar_t* subkey, const wchar_t* value);

// The names of a key's subkeys in the order the registry enumerates them, each name once.
std::vector<std::wstring> RegistrySubkeys(HKEY root, const wchar_t* subkey);
