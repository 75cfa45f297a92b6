// A small writer of one-line JSON objects: ASCII only, every other character as \uXXXX.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace inventory {

// Appends JSON to a buffer as the values are added, objects and arrays opened and closed in
// order, so that a report of many lines is one string without a string per value. A name
// (a field name of the program's own, plain ASCII) makes the value a member of the open
// object; without one it is an element of the open array, or the line's own object.
class JsonWriter {
public:
    explicit JsonWriter(std::string* out) : out_(out) {}
    JsonWriter& open_object(const char* name = nullptr);
    JsonWriter& close_object();
    JsonWriter& open_array(const char* name);
    JsonWriter& close_array();
    // A quoted string of UTF-8 text; a byte that is not valid UTF-8 becomes U+FFFD.
    JsonWriter& string(const char* name, const std::string& value);
    JsonWriter& string(const char* name, const char* value);
    // null when absent
    JsonWriter& string(const char* name, const std::optional<std::string>& value);
    JsonWriter& boolean(const char* name, bool value);
    // A count or a 32-bit value: exact in a double.
    JsonWriter& number(const char* name, uint64_t value);
    JsonWriter& null(const char* name);
    JsonWriter& string_array(const char* name, const std::vector<std::string>& texts);
    // Ends the line's object; the next object starts a line of its own.
    void end_line(const char* line_end);

private:
    void key(const char* name);
    JsonWriter& open(const char* name, char bracket);
    JsonWriter& close(char bracket);
    JsonWriter& text(const char* name, std::string_view value);
    std::string* out_;
    bool first_ = true; // no value yet in the open object or array
};

} // namespace inventory
