// Measures how much memory from an address can be read.
#include "readable_memory.h"

#include <windows.h>

namespace {

bool RegionIsReadable(const MEMORY_BASIC_INFORMATION& region) {
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return region.State == MEM_COMMIT && (region.Protect & readable) != 0 &&
           (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) == 0;
}

} // namespace

std::size_t ReadableBytes(const void* address, std::size_t limit) {
    const char* start = static_cast<const char*>(address);
    std::size_t readable = 0;
    while (readable < limit) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(start + readable, &region, sizeof region) == 0 ||
            !RegionIsReadable(region))
            break;
        const char* end = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        readable = static_cast<std::size_t>(end - start);
    }
    return readable < limit ? readable : limit;
}
