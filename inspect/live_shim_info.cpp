// Reads the shim state out of a process's PEB.
#include "live_shim_info.h"

#include "../common/handle_holder.h"
#include "../common/wow64.h"
#include "peb_decoding.h"
#include "peb_layout.h"
#include "remote_block.h"

namespace {

const ULONG ProcessBasicInformation = 0;

// Address is the pointer type of the layout (ULONG_PTR or ULONGLONG), matching the read
// function.
template <typename Address, typename QueryFn, typename ReadFn>
bool ReadPeb(HANDLE process, const PebLayout& layout, QueryFn query, ReadFn read,
             LiveShimInfo& info) {
    unsigned char basicInfo[48] = {};
    ULONG returned = 0;
    const LONG status =
        query(process, ProcessBasicInformation, basicInfo, layout.basicInfoSize, &returned);
    ResetLiveShimInfo(info);
    if (status < 0) {
        return false;
    }
    std::vector<unsigned char> peb(layout.pebSize, 0);
    const Address pebAddress =
        static_cast<Address>(DecodePebAddress(basicInfo, sizeof basicInfo, layout));
    PebFields fields = {};
    if (!ReadInFull(process, pebAddress, read, &peb[0], layout.pebSize) ||
        !DecodePebFields(&peb[0], peb.size(), layout, fields)) {
        return false;
    }
    info.appCompatFlags = fields.appCompatFlags;
    info.appCompatFlagsUser = fields.appCompatFlagsUser;
    info.targetIs64Bit = SystemIs64Bit() && !IsWow64(process);
    info.peb64 = sizeof(Address) == 8;
    // The reads count in DWORDs; the state that the report takes counts in fixed-width sizes.
    DWORD shimDataSize = 0;
    DWORD appCompatInfoSize = 0;
    const bool copied = ReadRemoteBlock(process, static_cast<Address>(fields.shimDataAddress), read,
                                        info.shimData, shimDataSize) &&
                        ReadRemoteBlock(process, static_cast<Address>(fields.appCompatInfoAddress),
                                        read, info.appCompatInfo, appCompatInfoSize);
    info.shimDataSize = shimDataSize;
    info.appCompatInfoSize = appCompatInfoSize;
    return copied;
}

bool ReadOwnSizePeb(HANDLE process, LiveShimInfo& info) {
    LookUpNativeReadEntries();
    if (NtQueryInformationProcessEntry == NULL || NtReadVirtualMemoryEntry == NULL) {
        ResetLiveShimInfo(info);
        return false;
    }
    return ReadPeb<ULONG_PTR>(process, OwnPebLayout(), NtQueryInformationProcessEntry,
                              NtReadVirtualMemoryEntry, info);
}

} // namespace

void ResetLiveShimInfo(LiveShimInfo& info) {
    info.appCompatFlags = 0;
    info.appCompatFlagsUser = 0;
    info.shimData.clear();
    info.shimData.shrink_to_fit();
    info.appCompatInfo.clear();
    info.appCompatInfo.shrink_to_fit();
    info.appCompatInfoSize = 0;
    info.targetIs64Bit = false;
    info.shimDataSize = 0;
    info.peb64 = false;
}

bool ReadLiveShimInfo(DWORD processId, LiveShimInfo& info) {
    const KernelHandleHolder holder(OpenProcess(
        PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_VM_OPERATION, FALSE, processId));
    if (!holder.Held()) {
        return false;
    }
    const HANDLE process = holder.Handle();
    if (!SelfIsWow64()) {
        return ReadOwnSizePeb(process, info);
    }
    LookUpWow64ReadEntries();
    if (NtWow64QueryInformationProcess64Entry != NULL && NtWow64ReadVirtualMemory64Entry != NULL) {
        return ReadPeb<ULONGLONG>(process, Peb64Layout, NtWow64QueryInformationProcess64Entry,
                                  NtWow64ReadVirtualMemory64Entry, info);
    }
    if (IsWow64(process)) {
        return ReadOwnSizePeb(process, info);
    }
    ResetLiveShimInfo(info);
    return false;
}
