// libFuzzer target: decodes a PEB of either layout from any bytes, copies its two blocks as the
// remote read hands them on, writes the live-state text with an unpacker that trusts the packed
// data's own size field as the engine does, and checks what a reader of the report relies on.
#include "../inspect/live_state_text.h"
#include "../inspect/peb_decoding.h"
#include "../inspect/peb_layout.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// The input, in order:
//   byte 0: bit 0 the 64-bit layout, bit 1 a 64-bit target, bits 2-3 the bytes read of the
//           shim data and bits 4-5 those of AppCompatInfo (0: 16384, 1: 8192, else 4096)
//   byte 1: the length of the basic information record, modulo 49
//   byte 2: the bytes missing from the PEB when below 16, else none
//   bytes 3-4: how many of the bytes after the PEB belong to the shim data (little-endian)
//   then the record, the PEB, the shim data's bytes and AppCompatInfo's bytes.
// Whatever lies past the end of the input is zero.
struct Cursor {
    const uint8_t* data;
    size_t size;
};

// The known forms of the packed data, as the engine knows them: the size field at either
// offset, the magic after it. Kept apart from the check under test, so as not to share its
// faults.
const uint32_t PACKED_MAGIC = 0xAC0DEDAB;
const size_t SIZE_FIELD_OFFSETS[] = {0, 520};

uint8_t take_byte(Cursor& in) {
    if (in.size == 0) {
        return 0;
    }
    --in.size;
    return *in.data++;
}

// Exactly count bytes on the heap, so that AddressSanitizer reports a read past them.
std::vector<unsigned char> take_bytes(Cursor& in, size_t count) {
    std::vector<unsigned char> bytes(count, 0);
    const size_t taken = count < in.size ? count : in.size;
    if (taken != 0) {
        std::memcpy(bytes.data(), in.data, taken);
    }
    in.data += taken;
    in.size -= taken;
    return bytes;
}

uint32_t bytes_read_of(unsigned choice) {
    return choice == 0   ? LargestRemoteBlock
           : choice == 1 ? LargestRemoteBlock / 2
                         : SmallestRemoteBlock;
}

// The copy of a block as the remote read hands it on: none at address 0, else exactly
// LargestRemoteBlock bytes, the first bytes_read of them from the input, zero beyond.
void copy_block(Cursor& in, size_t from_input, uint64_t address, uint32_t bytes_read,
                std::vector<unsigned char>& copy, uint32_t& size) {
    const std::vector<unsigned char> read =
        take_bytes(in, from_input < bytes_read ? from_input : bytes_read);
    if (address == 0) {
        return;
    }
    std::vector<unsigned char> block(LargestRemoteBlock, 0);
    std::copy(read.begin(), read.end(), block.begin());
    copy = std::move(block);
    size = bytes_read;
}

uint32_t dword_at(const unsigned char* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

// The size the unpacker trusted on its last call; it is handed no context of its own.
bool unpacked = false;
uint32_t trusted_size = 0;

// Finds the form by the magic's position and reads as many bytes as the form's size field
// claims, as the engine does; refuses a block without the magic.
void unpack_trusting_size(const void* shim_data, bool, ReportStream& stream) {
    const unsigned char* bytes = static_cast<const unsigned char*>(shim_data);
    for (size_t offset : SIZE_FIELD_OFFSETS) {
        if (dword_at(bytes + offset + 4) != PACKED_MAGIC) {
            continue;
        }
        unpacked = true;
        trusted_size = dword_at(bytes + offset);
        unsigned sum = 0;
        for (uint32_t i = 0; i < trusted_size; ++i) {
            sum += bytes[i];
        }
        stream << L"Unpacked, sum " << sum << crlf;
        return;
    }
    stream << L"Unable to unpack AppCompatData" << crlf << crlf;
}

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// Whether the refusal line belongs in the text: no form's magic, or a form's size field
// claiming more than was read.
bool refusal_expected(const LiveShimInfo& info) {
    bool magic = false;
    for (size_t offset : SIZE_FIELD_OFFSETS) {
        if (dword_at(&info.shimData[offset + 4]) == PACKED_MAGIC) {
            magic = true;
            if (dword_at(&info.shimData[offset]) > info.shimDataSize) {
                return true;
            }
        }
    }
    return !magic;
}

size_t count_of(const std::wstring& text, const wchar_t* part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The dump after its label: one line per 16 bytes, each led by its offset.
void check_dump(const std::wstring& text, size_t start, uint32_t size) {
    uint32_t offset = 0;
    for (size_t line = start; line < text.size(); offset += 16) {
        wchar_t expected[8];
        std::swprintf(expected, 8, L"%04x ", unsigned(offset));
        check(text.compare(line, 5, expected) == 0);
        const size_t end = text.find(L"\r\n", line);
        check(end != std::wstring::npos);
        line = end + 2;
    }
    check(offset == size);
}

void check_text(const LiveShimInfo& info, const std::wstring& text) {
    const bool nothing = info.appCompatFlags == 0 && info.appCompatFlagsUser == 0 &&
                         info.shimData.empty() && info.appCompatInfo.empty();
    check(nothing == (text == L"\r\nNo info found in process, not shimmed or running on 2k3!\r\n"));
    if (nothing) {
        return;
    }
    check(text.compare(0, 14, L"\r\nLive info:\r\n") == 0);
    check(count_of(text, L"AppCompatFlags: 0x") ==
          size_t(info.appCompatFlags != 0) + size_t(info.appCompatFlagsUser != 0));
    // The unpacker is reached only with a size that was read, and the refusal is written
    // exactly when the block cannot be unpacked within what was read.
    check(!unpacked || trusted_size <= info.shimDataSize);
    const bool refused = text.find(L"Unable to unpack AppCompatData") != std::wstring::npos;
    check(refused == (!info.shimData.empty() && refusal_expected(info)));
    const std::wstring label = L"AppCompatInfo:\r\n";
    const size_t dump = text.find(label);
    check(info.appCompatInfo.empty() == (dump == std::wstring::npos));
    if (dump != std::wstring::npos) {
        check_dump(text, dump + label.size(), info.appCompatInfoSize);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Cursor in = {data, size};
    const uint8_t choices = take_byte(in);
    const PebLayout& layout = (choices & 1) != 0 ? Peb64Layout : Peb32Layout;
    const uint64_t largest_address = layout.pointerSize == 8 ? UINT64_MAX : UINT32_MAX;
    const size_t record_size = take_byte(in) % 49;
    const uint8_t missing = take_byte(in);
    const size_t peb_size = layout.pebSize - (missing < 16 ? missing : 0);
    size_t shim_from_input = take_byte(in);
    shim_from_input |= size_t(take_byte(in)) << 8;

    const std::vector<unsigned char> record = take_bytes(in, record_size);
    const uint64_t peb_address = DecodePebAddress(record.data(), record.size(), layout);
    check(peb_address <= largest_address &&
          (record_size >= layout.basicInfoSize || peb_address == 0));

    const std::vector<unsigned char> peb = take_bytes(in, peb_size);
    PebFields fields = {1, 2, 3, 4};
    if (!DecodePebFields(peb.data(), peb.size(), layout, fields)) {
        // The read fails as a whole, before any block is copied.
        check(peb_size < layout.pebSize && fields.appCompatFlags == 1 &&
              fields.appCompatFlagsUser == 2 && fields.shimDataAddress == 3 &&
              fields.appCompatInfoAddress == 4);
        return 0;
    }
    check(fields.shimDataAddress <= largest_address &&
          fields.appCompatInfoAddress <= largest_address);

    LiveShimInfo info = {fields.appCompatFlags,
                         fields.appCompatFlagsUser,
                         std::vector<unsigned char>(),
                         std::vector<unsigned char>(),
                         0,
                         (choices & 2) != 0,
                         0,
                         (choices & 2) != 0};
    copy_block(in, shim_from_input, fields.shimDataAddress, bytes_read_of((choices >> 2) & 3),
               info.shimData, info.shimDataSize);
    copy_block(in, in.size, fields.appCompatInfoAddress, bytes_read_of((choices >> 4) & 3),
               info.appCompatInfo, info.appCompatInfoSize);

    unpacked = false;
    trusted_size = 0;
    ReportStream stream;
    WriteLiveState(info, unpack_trusting_size, stream);
    check_text(info, stream.str());
    return 0;
}
