// Shim databases written for the inventory's tests through the format library's writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestLayer {
    std::string name;
    std::vector<std::string> shims;
};

struct TestDatabase {
    std::string name;               // NAME; none when empty
    std::string id;                 // DATABASE_ID as text; none when empty
    uint64_t time = 0;              // TIME; none when 0
    std::string compiler;           // COMPILER_VERSION; none when empty
    std::vector<std::string> shims; // SHIM definitions in the LIBRARY
    std::vector<TestLayer> layers;
    std::vector<std::string> exes; // EXE entries by NAME
};

std::vector<uint8_t> database_bytes(const TestDatabase& database);
