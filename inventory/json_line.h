// A small writer of one-line JSON objects: ASCII only, every other character as \uXXXX.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace inventory {

// A quoted JSON string of UTF-8 text; a byte that is not valid UTF-8 becomes U+FFFD.
std::string json_string(const std::string& text);
// An array of JSON strings.
std::string json_string_array(const std::vector<std::string>& texts);
// An array of JSON values written already.
std::string json_array(const std::vector<std::string>& values);

// Fields are written in the order they are added.
class JsonObject {
public:
    JsonObject& string(const char* name, const std::string& value);
    JsonObject& string(const char* name, const char* value);
    // null when absent
    JsonObject& string(const char* name, const std::optional<std::string>& value);
    JsonObject& boolean(const char* name, bool value);
    // A count or a 32-bit value: exact in a double.
    JsonObject& number(const char* name, uint64_t value);
    JsonObject& null(const char* name);
    // A value written already (an array, an object).
    JsonObject& raw(const char* name, const std::string& json);
    // The object, closed.
    std::string text() const;

private:
    void key(const char* name);
    std::string body_;
};

} // namespace inventory
