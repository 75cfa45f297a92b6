// Registry hive files for the tests, built from an empty hive through libhivex.
//
// The empty hive is written from the public layout of the format, then filled through
// libhivex's write calls.
#include "test_hive.h"

#include "regf_header.h"
#include "sdb_text.h"

#include <hivex.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace {

using namespace image_inventory;

// The first bin follows the base block; cells are 8-byte aligned and start with their size,
// negative while in use.
const size_t BIN_SIZE = 4096;
const size_t BIN_HEADER = 32;
const size_t ROOT_CELL = BIN_HEADER;
const char ROOT_NAME[] = "ROOT";
const size_t ROOT_NAME_LENGTH = sizeof ROOT_NAME - 1;
// A key cell ("nk"): the fields written here, from the start of the cell's data.
const size_t NK_FLAGS = 2;
const size_t NK_SUBKEY_COUNT = 20;
const size_t NK_SUBKEY_LIST = 28;
const size_t NK_VALUE_LIST = 40; // after the count of values
const size_t NK_SECURITY = 44;
const size_t NK_CLASS = 48;
const size_t NK_NAME_LENGTH = 72;
const size_t NK_NAME = 76;
const uint16_t NK_ROOT_FLAGS = 0x2C; // root of the hive, not deletable, ASCII name
// A security cell ("sk"): links to itself, one reference, an empty self-relative descriptor.
const size_t SK_FLINK = 4;
const size_t SK_BLINK = 8;
const size_t SK_REFERENCES = 12;
const size_t SK_DESCRIPTOR_SIZE = 16;
const size_t SK_DESCRIPTOR = 20;
const size_t DESCRIPTOR_BYTES = 20;
const uint16_t DESCRIPTOR_SELF_RELATIVE = 0x8000;
const uint32_t NONE = 0xFFFFFFFF;

void put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void put16(std::vector<uint8_t>& out, size_t at, uint16_t value) {
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

size_t aligned(size_t size) {
    return (size + 7) & ~static_cast<size_t>(7);
}

} // namespace

std::vector<uint8_t> empty_hive_bytes() {
    std::vector<uint8_t> hive(REGF_BASE_BLOCK + BIN_SIZE);
    std::memcpy(&hive[REGF_SIGNATURE], "regf", 4);
    put32(hive, REGF_PRIMARY_SEQUENCE, 1);
    put32(hive, REGF_SECONDARY_SEQUENCE, 1);
    put32(hive, REGF_MAJOR_VERSION, 1);
    put32(hive, REGF_MINOR_VERSION, 3);
    put32(hive, REGF_ROOT_CELL, static_cast<uint32_t>(ROOT_CELL));
    put32(hive, REGF_BINS_SIZE, static_cast<uint32_t>(BIN_SIZE));
    put32(hive, REGF_CHECKSUM, regf_checksum(hive.data()));

    const size_t bin = REGF_BASE_BLOCK;
    std::memcpy(&hive[bin], "hbin", 4);
    put32(hive, bin + 8, static_cast<uint32_t>(BIN_SIZE));

    const size_t nk_size = aligned(4 + NK_NAME + ROOT_NAME_LENGTH);
    const size_t sk_cell = ROOT_CELL + nk_size;
    const size_t sk_size = aligned(4 + SK_DESCRIPTOR + DESCRIPTOR_BYTES);
    const size_t free_cell = sk_cell + sk_size;

    size_t nk = bin + ROOT_CELL;
    put32(hive, nk, static_cast<uint32_t>(-static_cast<int32_t>(nk_size)));
    std::memcpy(&hive[nk + 4], "nk", 2);
    put16(hive, nk + 4 + NK_FLAGS, NK_ROOT_FLAGS);
    put32(hive, nk + 4 + NK_SUBKEY_LIST, NONE);
    put32(hive, nk + 4 + NK_SUBKEY_LIST + 4, NONE);
    put32(hive, nk + 4 + NK_VALUE_LIST, NONE);
    put32(hive, nk + 4 + NK_SECURITY, static_cast<uint32_t>(sk_cell));
    put32(hive, nk + 4 + NK_CLASS, NONE);
    put16(hive, nk + 4 + NK_NAME_LENGTH, static_cast<uint16_t>(ROOT_NAME_LENGTH));
    std::memcpy(&hive[nk + 4 + NK_NAME], ROOT_NAME, ROOT_NAME_LENGTH);

    size_t sk = bin + sk_cell;
    put32(hive, sk, static_cast<uint32_t>(-static_cast<int32_t>(sk_size)));
    std::memcpy(&hive[sk + 4], "sk", 2);
    put32(hive, sk + 4 + SK_FLINK, static_cast<uint32_t>(sk_cell));
    put32(hive, sk + 4 + SK_BLINK, static_cast<uint32_t>(sk_cell));
    put32(hive, sk + 4 + SK_REFERENCES, 1);
    put32(hive, sk + 4 + SK_DESCRIPTOR_SIZE, static_cast<uint32_t>(DESCRIPTOR_BYTES));
    hive[sk + 4 + SK_DESCRIPTOR] = 1; // revision
    put16(hive, sk + 4 + SK_DESCRIPTOR + 2, DESCRIPTOR_SELF_RELATIVE);

    put32(hive, bin + free_cell, static_cast<uint32_t>(BIN_SIZE - free_cell));
    return hive;
}

std::vector<uint8_t> utf16(const std::string& text, bool terminated) {
    std::u16string units;
    sdb::from_utf8(text, &units);
    std::vector<uint8_t> bytes;
    for (char16_t unit : units) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    if (terminated) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<uint8_t> dword_bytes(uint32_t value) {
    std::vector<uint8_t> bytes(4);
    put32(bytes, 0, value);
    return bytes;
}

std::vector<uint8_t> qword_bytes(uint64_t value) {
    std::vector<uint8_t> bytes(8);
    put32(bytes, 0, static_cast<uint32_t>(value));
    put32(bytes, 4, static_cast<uint32_t>(value >> 32));
    return bytes;
}

namespace {

hive_node_h node_at(hive_h* hive, const std::string& path) {
    hive_node_h node = hivex_root(hive);
    size_t start = 0;
    while (node != 0 && start < path.size()) {
        size_t end = path.find('\\', start);
        end = end == std::string::npos ? path.size() : end;
        node = hivex_node_get_child(hive, node, path.substr(start, end - start).c_str());
        start = end + 1;
    }
    if (node == 0) {
        throw std::runtime_error("no key at " + path);
    }
    return node;
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    for (size_t got; file != nullptr && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    return bytes;
}

// Appends a bin holding one cell of the given data; returns the cell's offset in the file.
size_t append_cell(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& data) {
    const size_t bin = bytes.size();
    const size_t cell = aligned(4 + data.size());
    const size_t bin_size = (BIN_HEADER + cell + BIN_SIZE - 1) / BIN_SIZE * BIN_SIZE;
    bytes.resize(bin + bin_size);
    std::memcpy(&bytes[bin], "hbin", 4);
    put32(bytes, bin + 4, static_cast<uint32_t>(bin - REGF_BASE_BLOCK));
    put32(bytes, bin + 8, static_cast<uint32_t>(bin_size));
    const size_t at = bin + BIN_HEADER;
    put32(bytes, at, static_cast<uint32_t>(-static_cast<int32_t>(cell)));
    std::memcpy(&bytes[at + 4], data.data(), data.size());
    if (bin_size > BIN_HEADER + cell) {
        put32(bytes, at + cell, static_cast<uint32_t>(bin_size - BIN_HEADER - cell));
    }
    return at;
}

void write_bytes(const std::string& path, std::vector<uint8_t>& bytes) {
    put32(bytes, REGF_BINS_SIZE, static_cast<uint32_t>(bytes.size() - REGF_BASE_BLOCK));
    put32(bytes, REGF_CHECKSUM, regf_checksum(bytes.data()));
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        throw std::runtime_error("cannot write " + path);
    }
    std::fclose(file);
}

} // namespace

void TestHive::pad_values(const std::string& hive_path, const std::string& path, size_t count) {
    hive_h* hive = hivex_open(hive_path.c_str(), 0);
    if (hive == nullptr) {
        throw std::runtime_error("libhivex cannot open " + hive_path);
    }
    hive_node_h node = node_at(hive, path);
    hive_value_h* values = hivex_node_values(hive, node);
    if (values == nullptr || values[0] == 0) {
        throw std::runtime_error("no values to pad at " + path);
    }
    std::vector<uint32_t> list(count, static_cast<uint32_t>(values[0] - REGF_BASE_BLOCK));
    for (hive_value_h* value = values; *value != 0; ++value) {
        list.push_back(static_cast<uint32_t>(*value - REGF_BASE_BLOCK));
    }
    std::free(values);
    hivex_close(hive);
    std::vector<uint8_t> bytes = read_bytes(hive_path);
    std::vector<uint8_t> data(4 * list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        put32(data, 4 * i, list[i]);
    }
    size_t cell = append_cell(bytes, data);
    put32(bytes, node + 4 + NK_VALUE_LIST - 4, static_cast<uint32_t>(list.size()));
    put32(bytes, node + 4 + NK_VALUE_LIST, static_cast<uint32_t>(cell - REGF_BASE_BLOCK));
    write_bytes(hive_path, bytes);
}

void TestHive::pad_subkeys(const std::string& hive_path, const std::string& path, size_t count) {
    hive_h* hive = hivex_open(hive_path.c_str(), 0);
    if (hive == nullptr) {
        throw std::runtime_error("libhivex cannot open " + hive_path);
    }
    hive_node_h node = node_at(hive, path);
    hive_node_h* children = hivex_node_children(hive, node);
    if (children == nullptr || children[0] == 0) {
        throw std::runtime_error("no subkeys to pad at " + path);
    }
    std::vector<uint32_t> entries(count, static_cast<uint32_t>(children[0] - REGF_BASE_BLOCK));
    for (hive_node_h* child = children; *child != 0; ++child) {
        entries.push_back(static_cast<uint32_t>(*child - REGF_BASE_BLOCK));
    }
    std::free(children);
    hivex_close(hive);
    std::vector<uint8_t> bytes = read_bytes(hive_path);
    const size_t LEAF = 50000; // an "lf" list counts in 16 bits
    std::vector<uint32_t> leaves;
    for (size_t first = 0; first < entries.size(); first += LEAF) {
        size_t n = std::min(LEAF, entries.size() - first);
        std::vector<uint8_t> data(4 + 8 * n);
        std::memcpy(&data[0], "lf", 2);
        put16(data, 2, static_cast<uint16_t>(n));
        for (size_t i = 0; i < n; ++i) {
            put32(data, 4 + 8 * i, entries[first + i]);
        }
        leaves.push_back(static_cast<uint32_t>(append_cell(bytes, data) - REGF_BASE_BLOCK));
    }
    std::vector<uint8_t> index(4 + 4 * leaves.size());
    std::memcpy(&index[0], "ri", 2);
    put16(index, 2, static_cast<uint16_t>(leaves.size()));
    for (size_t i = 0; i < leaves.size(); ++i) {
        put32(index, 4 + 4 * i, leaves[i]);
    }
    size_t cell = append_cell(bytes, index);
    put32(bytes, node + 4 + NK_SUBKEY_COUNT, static_cast<uint32_t>(entries.size()));
    put32(bytes, node + 4 + NK_SUBKEY_LIST, static_cast<uint32_t>(cell - REGF_BASE_BLOCK));
    write_bytes(hive_path, bytes);
}

void TestHive::gather_subkeys(const std::string& hive_path, const std::string& path,
                              const std::vector<std::string>& sources) {
    hive_h* hive = hivex_open(hive_path.c_str(), 0);
    if (hive == nullptr) {
        throw std::runtime_error("libhivex cannot open " + hive_path);
    }
    hive_node_h node = node_at(hive, path);
    std::vector<uint32_t> children;
    for (const std::string& source : sources) {
        hive_node_h* list = hivex_node_children(hive, node_at(hive, source));
        for (hive_node_h* child = list; child != nullptr && *child != 0; ++child) {
            children.push_back(static_cast<uint32_t>(*child - REGF_BASE_BLOCK));
        }
        std::free(list);
    }
    hivex_close(hive);
    std::vector<uint8_t> bytes = read_bytes(hive_path);
    // An "lf" list: its signature, its count, and each subkey with a name hint (left empty).
    std::vector<uint8_t> data(4 + 8 * children.size());
    std::memcpy(&data[0], "lf", 2);
    put16(data, 2, static_cast<uint16_t>(children.size()));
    for (size_t i = 0; i < children.size(); ++i) {
        put32(data, 4 + 8 * i, children[i]);
    }
    size_t cell = append_cell(bytes, data);
    put32(bytes, node + 4 + NK_SUBKEY_COUNT, static_cast<uint32_t>(children.size()));
    put32(bytes, node + 4 + NK_SUBKEY_LIST, static_cast<uint32_t>(cell - REGF_BASE_BLOCK));
    write_bytes(hive_path, bytes);
}

void TestHive::key(const std::string& path, const std::vector<TestValue>& values) {
    keys_.push_back({path, values});
}

void TestHive::write(const std::string& path) const {
    std::string empty = path + ".empty";
    std::vector<uint8_t> bytes = empty_hive_bytes();
    std::FILE* file = std::fopen(empty.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        throw std::runtime_error("cannot write " + empty);
    }
    std::fclose(file);
    hive_h* hive = hivex_open(empty.c_str(), HIVEX_OPEN_WRITE);
    if (hive == nullptr) {
        throw std::runtime_error("libhivex refuses the empty hive");
    }
    for (const Key& key : keys_) {
        hive_node_h node = hivex_root(hive);
        size_t start = 0;
        while (start < key.path.size()) {
            size_t end = key.path.find('\\', start);
            end = end == std::string::npos ? key.path.size() : end;
            std::string name = key.path.substr(start, end - start);
            start = end + 1;
            hive_node_h child = hivex_node_get_child(hive, node, name.c_str());
            node = child != 0 ? child : hivex_node_add_child(hive, node, name.c_str());
            if (node == 0) {
                throw std::runtime_error("libhivex cannot add " + key.path);
            }
        }
        std::vector<hive_set_value> set;
        for (const TestValue& value : key.values) {
            set.push_back({const_cast<char*>(value.name.c_str()),
                           static_cast<hive_type>(value.type), value.data.size(),
                           reinterpret_cast<char*>(const_cast<uint8_t*>(value.data.data()))});
        }
        if (!set.empty() && hivex_node_set_values(hive, node, set.size(), set.data(), 0) != 0) {
            throw std::runtime_error("libhivex cannot set the values of " + key.path);
        }
    }
    if (hivex_commit(hive, path.c_str(), 0) != 0) {
        throw std::runtime_error("libhivex cannot write " + path);
    }
    hivex_close(hive);
    unlink(empty.c_str());
}
