#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Where the compatibility settings live, under HKCU and HKLM.
#define APPCOMPAT_KEY L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags"

// The registry view the engine reads: the 64-bit one when running under WoW64, where the
// settings of the system are kept.
REGSAM RegistryView();

// A REG_SZ or REG_EXPAND_SZ value (not expanded); false when it is missing or of another type.
bool ReadRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* value, std::wstring& out);

// True when the key has a value of that name, whatever its type.
bool RegistryValueExists(HKEY root, const wchar_t* subkey, const wchar_t* value);

// The names of a key's subkeys in the order the registry enumerates them.
std::vector<std::wstring> RegistrySubkeys(HKEY root, const wchar_t* subkey);
