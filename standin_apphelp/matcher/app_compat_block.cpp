// Packs a match record into shim data and reads it back from any known form.
#include "app_compat_block.h"

#include "byte_reader.h"
#include "query_record.h"

#include <cstring>

namespace {

// Offsets of the forms: the newer one has its size and magic first; the older ones have them
// after the module path, and differ in their record offset.
const std::size_t ModulePathChars = 260;
const std::size_t LayerChars = 256;
const std::size_t NewSizeOffset = 0;
const std::size_t NewMagicOffset = 4;
const std::size_t OldSizeOffset = 520;
const std::size_t OldMagicOffset = 524;
const std::size_t Win7RecordOffset = 528;
const std::size_t Win8RecordOffset = 532;
const std::size_t LayerOffset = 984;
const std::size_t ImageTypeOffset = 1496;
const std::size_t NewRecordOffset = 16;
const std::uint32_t NewFormSize = 3976;
const std::uint32_t Win8FormSize = 4704;
const std::uint32_t Win10EarlyFormSize = 4712;

// A field of the block, or 0 when it lies past what can be read.
std::uint32_t LoadU32(ByteView block, std::size_t offset) {
    std::uint32_t value = 0;
    ReadU32(block, offset, value);
    return value;
}

void StoreU32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void StoreText(std::uint8_t* p, const std::u16string& text, std::size_t capacity) {
    std::size_t count = text.size() < capacity ? text.size() : capacity - 1;
    for (std::size_t i = 0; i < count; ++i) {
        p[2 * i] = static_cast<std::uint8_t>(text[i]);
        p[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
}

// Where the record of a block starts; 0 for a block of unknown form or one whose record
// lies past the readable bytes.
std::size_t RecordOffset(ByteView block) {
    std::size_t offset = 0;
    if (LoadU32(block, NewMagicOffset) == AppCompatMagic) {
        offset = LoadU32(block, NewSizeOffset) == NewFormSize ? NewRecordOffset : 0;
    } else if (LoadU32(block, OldMagicOffset) == AppCompatMagic) {
        switch (LoadU32(block, OldSizeOffset)) {
        case PackedBlockSize:
            offset = Win7RecordOffset;
            break;
        case Win8FormSize:
        case Win10EarlyFormSize:
            offset = Win8RecordOffset;
            break;
        default:
            break;
        }
    }
    return offset != 0 && FitsIn(block, offset, QueryRecordSize) ? offset : 0;
}

} // namespace

void PackAppCompatBlock(const std::uint8_t* record, const std::u16string& modulePath,
                        const std::u16string& layers, std::uint32_t imageType,
                        std::uint8_t* block) {
    std::memset(block, 0, PackedBlockSize);
    StoreText(block, modulePath, ModulePathChars);
    StoreU32(block + OldSizeOffset, PackedBlockSize);
    StoreU32(block + OldMagicOffset, AppCompatMagic);
    std::memcpy(block + Win7RecordOffset, record, QueryRecordSize);
    StoreText(block + LayerOffset, layers, LayerChars);
    StoreU32(block + ImageTypeOffset, imageType);
}

std::uint32_t AppCompatBlockSize(const std::uint8_t* block, std::size_t available) {
    ByteView view{block, available};
    if (RecordOffset(view) == 0)
        return 0;
    return LoadU32(view, NewMagicOffset) == AppCompatMagic ? LoadU32(view, NewSizeOffset)
                                                           : LoadU32(view, OldSizeOffset);
}

bool UnpackAppCompatBlock(const std::uint8_t* block, std::size_t available, std::uint8_t* record) {
    std::size_t offset = RecordOffset(ByteView{block, available});
    if (offset == 0)
        return false;
    const std::uint8_t* source = block + offset;
    QueryRecord counts = ReadQueryRecord(source);
    if (counts.exeCount > MaxExes || counts.layerCount > MaxLayers)
        return false;
    std::memcpy(record, source, QueryRecordSize);
    return true;
}
