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

private:
    struct Key {
        std::string path;
        std::vector<TestValue> values;
    };
    std::vector<Key> keys_;
};
