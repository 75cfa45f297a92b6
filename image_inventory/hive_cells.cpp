// The cells of a hive file that quillet-image reads itself, where libhivex stops short.
#include "hive_cells.h"

#include "sdb_text.h"

namespace image_inventory {

namespace {

uint32_t load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t load16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The data of the cell in use at offset: its bytes after the size field, and how many. A
// cell in use has a negative size, counting the field itself.
bool cell_data(const uint8_t* hive, size_t size, size_t offset, const uint8_t** data,
               size_t* length) {
    if (offset < HIVE_BINS_START || offset % 4 != 0 || offset > size || size - offset < 4) {
        return false;
    }
    int32_t cell = static_cast<int32_t>(load32(hive + offset));
    if (cell >= -4) {
        return false;
    }
    size_t whole = static_cast<size_t>(-static_cast<int64_t>(cell));
    if (whole > size - offset) {
        return false;
    }
    *data = hive + offset + 4;
    *length = whole - 4;
    return true;
}

std::string name_text(const uint8_t* bytes, size_t length, bool compressed) {
    std::string name;
    if (compressed) {
        for (size_t i = 0; i < length; ++i) {
            sdb::append_utf8(bytes[i], &name); // Latin-1
        }
        return name;
    }
    const uint32_t replacement = 0xFFFD;
    for (size_t i = 0; i + 1 < length; i += 2) {
        uint32_t unit = load16(bytes + i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < length) {
            uint32_t low = load16(bytes + i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                sdb::append_utf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), &name);
                i += 2;
                continue;
            }
        }
        sdb::append_utf8(unit >= 0xD800 && unit < 0xE000 ? replacement : unit, &name);
    }
    return name;
}

bool cell_name(const uint8_t* hive, size_t size, size_t offset, const char* signature,
               size_t flags_at, uint16_t compressed, size_t length_at, size_t name_at,
               std::string* name) {
    const uint8_t* data = nullptr;
    size_t length = 0;
    if (!cell_data(hive, size, offset, &data, &length) || length < name_at ||
        data[0] != signature[0] || data[1] != signature[1]) {
        return false;
    }
    size_t name_length = load16(data + length_at);
    if (name_length > length - name_at) {
        return false;
    }
    *name = name_text(data + name_at, name_length, (load16(data + flags_at) & compressed) != 0);
    return true;
}

} // namespace

bool key_value_offsets(const uint8_t* hive, size_t size, size_t node, std::vector<size_t>* values) {
    const uint8_t* key = nullptr;
    size_t key_length = 0;
    if (!cell_data(hive, size, node, &key, &key_length) || key_length < NK_VALUE_LIST + 4 ||
        key[0] != 'n' || key[1] != 'k') {
        return false;
    }
    size_t count = load32(key + NK_VALUE_COUNT);
    values->clear();
    if (count == 0) {
        return true;
    }
    const uint8_t* list = nullptr;
    size_t list_length = 0;
    if (!cell_data(hive, size, HIVE_BINS_START + load32(key + NK_VALUE_LIST), &list,
                   &list_length) ||
        list_length / 4 < count) {
        return false;
    }
    values->reserve(count);
    for (size_t i = 0; i < count; ++i) {
        values->push_back(HIVE_BINS_START + load32(list + 4 * i));
    }
    return true;
}

namespace {

// The subkeys of one leaf list ("lf", "lh": offset and name hint; "li": offset alone), added
// to *subkeys. False when it is no leaf list or not whole.
bool leaf_list(const uint8_t* list, size_t length, std::vector<size_t>* subkeys) {
    if (length < 4) {
        return false;
    }
    bool hinted = (list[0] == 'l' && (list[1] == 'f' || list[1] == 'h'));
    if (!hinted && !(list[0] == 'l' && list[1] == 'i')) {
        return false;
    }
    size_t count = load16(list + 2);
    size_t step = hinted ? 8 : 4;
    if ((length - 4) / step < count) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        subkeys->push_back(HIVE_BINS_START + load32(list + 4 + step * i));
    }
    return true;
}

} // namespace

bool key_subkey_offsets(const uint8_t* hive, size_t size, size_t node,
                        std::vector<size_t>* subkeys) {
    const uint8_t* key = nullptr;
    size_t key_length = 0;
    if (!cell_data(hive, size, node, &key, &key_length) || key_length < NK_SUBKEY_LIST + 4 ||
        key[0] != 'n' || key[1] != 'k') {
        return false;
    }
    size_t count = load32(key + NK_SUBKEY_COUNT);
    subkeys->clear();
    if (count == 0) {
        return true;
    }
    // Each subkey takes at least 4 bytes of a list: a larger count is a lie, and lists that
    // repeat one leaf cannot make the reading grow past the file.
    if (count > size / 4) {
        return false;
    }
    const uint8_t* list = nullptr;
    size_t list_length = 0;
    if (!cell_data(hive, size, HIVE_BINS_START + load32(key + NK_SUBKEY_LIST), &list,
                   &list_length) ||
        list_length < 4) {
        return false;
    }
    if (list[0] == 'r' && list[1] == 'i') {
        // An index of leaf lists, one level deep, as Windows writes a key of many subkeys.
        size_t lists = load16(list + 2);
        if ((list_length - 4) / 4 < lists) {
            return false;
        }
        for (size_t i = 0; i < lists && subkeys->size() <= count; ++i) {
            const uint8_t* leaf = nullptr;
            size_t leaf_length = 0;
            if (!cell_data(hive, size, HIVE_BINS_START + load32(list + 4 + 4 * i), &leaf,
                           &leaf_length) ||
                !leaf_list(leaf, leaf_length, subkeys)) {
                return false;
            }
        }
    } else if (!leaf_list(list, list_length, subkeys)) {
        return false;
    }
    return subkeys->size() == count;
}

bool key_name(const uint8_t* hive, size_t size, size_t node, std::string* name) {
    return cell_name(hive, size, node, "nk", NK_FLAGS, NK_COMPRESSED_NAME, NK_NAME_LENGTH, NK_NAME,
                     name);
}

bool value_name(const uint8_t* hive, size_t size, size_t value, std::string* name) {
    return cell_name(hive, size, value, "vk", VK_FLAGS, VK_COMPRESSED_NAME, VK_NAME_LENGTH, VK_NAME,
                     name);
}

} // namespace image_inventory
