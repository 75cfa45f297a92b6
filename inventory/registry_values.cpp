// Typed reads of registry values that check the type, the size and the terminator.
#include "registry_values.h"

#include "windows_paths.h"

#include "sdb_text.h"

namespace inventory {

namespace {

std::string label(const RegistryValue& value) {
    return value.name.empty() ? std::string("(default)") : value.name;
}

uint64_t little_endian(const std::vector<uint8_t>& data, size_t bytes) {
    uint64_t number = 0;
    for (size_t i = 0; i < bytes; ++i) {
        number |= static_cast<uint64_t>(data[i]) << (8 * i);
    }
    return number;
}

// True, with the problem line, for a value whose data the view could not take.
bool omitted(const RegistryValue& value, std::string* problem) {
    if (value.omitted_size == 0) {
        return false;
    }
    *problem =
        label(value) + ": too large to read (" + std::to_string(value.omitted_size) + " bytes)";
    return true;
}

} // namespace

std::string value_type_text(uint32_t type) {
    switch (type) {
    case VALUE_NONE:
        return "REG_NONE";
    case VALUE_STRING:
        return "REG_SZ";
    case VALUE_EXPAND_STRING:
        return "REG_EXPAND_SZ";
    case VALUE_BINARY:
        return "REG_BINARY";
    case VALUE_DWORD:
        return "REG_DWORD";
    case VALUE_MULTI_STRING:
        return "REG_MULTI_SZ";
    case VALUE_QWORD:
        return "REG_QWORD";
    default:
        return "type " + std::to_string(type);
    }
}

const RegistryValue* find_value(const std::vector<RegistryValue>& values, const char* name) {
    for (const RegistryValue& value : values) {
        if (equal_ignoring_case(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

bool value_string(const RegistryValue& value, std::string* text, std::string* problem) {
    if (omitted(value, problem)) {
        return false;
    }
    if (value.type != VALUE_STRING && value.type != VALUE_EXPAND_STRING) {
        *problem = label(value) + ": a " + value_type_text(value.type) + " where a string belongs";
        return false;
    }
    if (value.data.size() % 2 != 0) {
        *problem = label(value) + ": a string of odd size (" + std::to_string(value.data.size()) +
                   " bytes)";
        return false;
    }
    std::u16string units;
    units.reserve(value.data.size() / 2);
    bool terminated = false;
    for (size_t i = 0; i < value.data.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
        if (unit == 0) {
            terminated = true;
            break;
        }
        units.push_back(unit);
    }
    if (units.size() > MAX_VALUE_CHARS) {
        *problem =
            label(value) + ": longer than " + std::to_string(MAX_VALUE_CHARS) + " characters";
        return false;
    }
    *text = sdb::to_utf8(units);
    if (!terminated) {
        *problem = label(value) + ": a string without its terminating NUL";
    }
    return true;
}

bool value_dword(const RegistryValue& value, uint32_t* number, std::string* problem) {
    if (omitted(value, problem)) {
        return false;
    }
    if (value.type != VALUE_DWORD || value.data.size() != 4) {
        *problem = label(value) + ": a " + value_type_text(value.type) + " of " +
                   std::to_string(value.data.size()) + " bytes where a REG_DWORD belongs";
        return false;
    }
    *number = static_cast<uint32_t>(little_endian(value.data, 4));
    return true;
}

bool value_qword(const RegistryValue& value, uint64_t* number, std::string* problem) {
    if (omitted(value, problem)) {
        return false;
    }
    if ((value.type != VALUE_QWORD && value.type != VALUE_BINARY) || value.data.size() != 8) {
        *problem = label(value) + ": a " + value_type_text(value.type) + " of " +
                   std::to_string(value.data.size()) + " bytes where a REG_QWORD belongs";
        return false;
    }
    *number = little_endian(value.data, 8);
    return true;
}

} // namespace inventory
