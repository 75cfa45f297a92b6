// The cells of a hive file that quillet-image reads itself, where libhivex stops short.
//
// libhivex refuses a key of more values or subkeys than its limits, and a name that is not
// valid UTF-16; these read the same cells from the hive's bytes. Offsets are libhivex's
// handles: from the start of the file to a cell's size field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace image_inventory {

// Offsets in the data of a key cell ("nk"), after the cell's size.
const size_t NK_FLAGS = 2;
const size_t NK_SUBKEY_COUNT = 20;
const size_t NK_SUBKEY_LIST = 28;
const size_t NK_VALUE_COUNT = 36;
const size_t NK_VALUE_LIST = 40;
const size_t NK_NAME_LENGTH = 72;
const size_t NK_NAME = 76;
const uint16_t NK_COMPRESSED_NAME = 0x20; // the name is stored one byte a character
// Offsets in the data of a value cell ("vk").
const size_t VK_NAME_LENGTH = 2;
const size_t VK_FLAGS = 16;
const size_t VK_NAME = 20;
const uint16_t VK_COMPRESSED_NAME = 0x01;
// Cell offsets inside the hive count from the first bin, which follows the base block.
const size_t HIVE_BINS_START = 4096;

// The offsets of every value cell the key cell at node lists, however many. False when the
// cells are not whole inside the file.
bool key_value_offsets(const uint8_t* hive, size_t size, size_t node, std::vector<size_t>* values);

// The offsets of every subkey cell the key cell at node lists, however many: through its
// "lf", "lh" or "li" list, or an "ri" list of those. False when a list is not whole inside
// the file or they do not hold the key's count of subkeys.
bool key_subkey_offsets(const uint8_t* hive, size_t size, size_t node,
                        std::vector<size_t>* subkeys);

// The name of the key cell at node, or of the value cell at value, as UTF-8, a unit that is
// not valid UTF-16 (a lone surrogate) as U+FFFD. False when the cell is not whole.
bool key_name(const uint8_t* hive, size_t size, size_t node, std::string* name);
bool value_name(const uint8_t* hive, size_t size, size_t value, std::string* name);

} // namespace image_inventory
