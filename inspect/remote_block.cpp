// Reads a block of another process's memory at the largest size that can be read.
#include "remote_block.h"

namespace {

template <typename Address, typename ReadFn>
bool ReadHalvingSizes(HANDLE process, Address address, ReadFn read,
                      std::vector<unsigned char>& block, DWORD& size) {
    block.clear();
    size = 0;
    if (address == 0) {
        return true;
    }
    for (DWORD wanted = LargestRemoteBlock; wanted >= SmallestRemoteBlock; wanted /= 2) {
        block.assign(LargestRemoteBlock, 0);
        if (ReadInFull(process, address, read, &block[0], wanted)) {
            size = wanted;
            return true;
        }
    }
    block.clear();
    return false;
}

} // namespace

bool ReadInFull(HANDLE process, ULONG_PTR address, NtReadVirtualMemoryFn read, void* buffer,
                DWORD size) {
    SIZE_T count = 0;
    const LONG status = read(process, reinterpret_cast<PVOID>(address), buffer, size, &count);
    return status >= 0 && count == size;
}

bool ReadInFull(HANDLE process, ULONGLONG address, NtWow64ReadVirtualMemory64Fn read, void* buffer,
                DWORD size) {
    ULONGLONG count = 0;
    const LONG status = read(process, address, buffer, size, &count);
    return status >= 0 && count == size;
}

bool ReadRemoteBlock(HANDLE process, ULONG_PTR address, NtReadVirtualMemoryFn read,
                     std::vector<unsigned char>& block, DWORD& size) {
    return ReadHalvingSizes(process, address, read, block, size);
}

bool ReadRemoteBlock(HANDLE process, ULONGLONG address, NtWow64ReadVirtualMemory64Fn read,
                     std::vector<unsigned char>& block, DWORD& size) {
    return ReadHalvingSizes(process, address, read, block, size);
}
