// The read of a block of unknown size out of another process.
#pragma once

#include <windows.h>

#include <vector>

#include "live_shim_state.h"
#include "native_read_api.h"

// Reads size bytes at a remote address; true only when the status is a success and every
// byte arrived.
bool ReadInFull(HANDLE process, ULONG_PTR address, NtReadVirtualMemoryFn read, void* buffer,
                DWORD size);
bool ReadInFull(HANDLE process, ULONGLONG address, NtWow64ReadVirtualMemory64Fn read, void* buffer,
                DWORD size);

// Copies the block at a remote address: 16384 bytes, or else 8192, or else 4096, whichever
// read delivers in full first. The copy always has room for 16384 bytes, zero beyond what was
// read, so that a reader trusting a size field inside the block stays within the copy.
// Address 0 is no block: true, with the copy empty and the size 0. When even 4096 bytes cannot
// be read: false, the copy empty and the size 0.
bool ReadRemoteBlock(HANDLE process, ULONG_PTR address, NtReadVirtualMemoryFn read,
                     std::vector<unsigned char>& block, DWORD& size);
bool ReadRemoteBlock(HANDLE process, ULONGLONG address, NtWow64ReadVirtualMemory64Fn read,
                     std::vector<unsigned char>& block, DWORD& size);
