// Typed reads of registry values that check the type, the size and the terminator.
#pragma once

#include "registry_view.h"

#include <cstdint>
#include <string>
#include <vector>

namespace inventory {

// Longest string value taken, in UTF-16 units: the longest path Windows accepts.
const size_t MAX_VALUE_CHARS = 32767;

// "REG_SZ", "REG_DWORD", ...; "type N" for a number the registry does not name.
std::string value_type_text(uint32_t type);

// The value named name (compared without regard to ASCII case); nullptr when absent.
const RegistryValue* find_value(const std::vector<RegistryValue>& values, const char* name);

// A REG_SZ or REG_EXPAND_SZ as UTF-8, cut at its first NUL. False, with a line in *problem
// ("DatabasePath: a REG_DWORD where a string belongs"), when it is of another type, of odd
// size or too long. A string without its NUL is read, with a problem line all the same.
bool value_string(const RegistryValue& value, std::string* text, std::string* problem);
// A REG_DWORD of 4 bytes, or a REG_QWORD (or REG_BINARY) of 8: false with a problem line
// otherwise.
bool value_dword(const RegistryValue& value, uint32_t* number, std::string* problem);
bool value_qword(const RegistryValue& value, uint64_t* number, std::string* problem);

} // namespace inventory
