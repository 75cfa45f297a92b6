// Registry hive files for the tests, built from an empty hive through libhivex.
//
// The empty hive is written from the public layout of the format, then filled through
// libhivex's write calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The keys and the main database's ID as the tests write them, spelled out here rather than
// taken from the code under test.
const char* const APPCOMPAT = "Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags";
const char* const USER_APPCOMPAT =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags";
const char* const SYSMAIN_ID = "{11111111-1111-1111-1111-111111111111}";

// The bytes of a hive with a root key and nothing else.
std::vector<uint8_t> empty_hive_bytes();

// A value to store: its type (the registry's number) and its data as stored.
struct TestValue {
    std::string name;
    uint32_t type;
    std::vector<uint8_t> data;
};

// UTF-16LE bytes of UTF-8 text, with the terminating NUL unless told otherwise.
std::vector<uint8_t> utf16(const std::string& text, bool terminated = true);
std::vector<uint8_t> dword_bytes(uint32_t value);
std::vector<uint8_t> qword_bytes(uint64_t value);

// A hive being built; write() stores it at a path.
class TestHive {
public:
    // Sets the values of the key at path ("A\B\C"), creating the keys on the way.
    void key(const std::string& path, const std::vector<TestValue>& values = {});
    // Writes the hive; the test fails at once (through an exception) when libhivex refuses.
    void write(const std::string& path) const;

    // Pads the key at path of the hive file at hive_path with count more values, each the
    // key's first value again, listed before its own: a key past a reader's limit of values
    // without a hive of that size to write. The new list goes into a bin added at the end.
    static void pad_values(const std::string& hive_path, const std::string& path, size_t count);
    // Pads the key at path with count more subkeys, each its first subkey again, listed before
    // its own in "lf" lists under one "ri" index, as Windows lists a key of many subkeys.
    static void pad_subkeys(const std::string& hive_path, const std::string& path, size_t count);
    // Lists under the key at path, in one new list, every subkey of the keys at sources: a key
    // of many subkeys without libhivex's writer, which copies a key's list for each subkey it
    // adds, growing the hive with the square of their number.
    static void gather_subkeys(const std::string& hive_path, const std::string& path,
                               const std::vector<std::string>& sources);

private:
    struct Key {
        std::string path;
        std::vector<TestValue> values;
    };
    std::vector<Key> keys_;
};
