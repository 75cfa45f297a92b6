// Writes the live-state block from the flag words and the two blocks copied out of a process.
#include "live_state_text.h"

#include "../shimreport/hex_dump.h"
#include "packed_size_check.h"

const void* UnpackableShimData(const LiveShimInfo& info) {
    if (info.shimData.empty() || !PackedSizeWithinCopy(info.shimData, info.shimDataSize)) {
        return nullptr;
    }
    return &info.shimData[0];
}

void WriteLiveState(const LiveShimInfo& info, ShimDataUnpacker unpack, ReportStream& stream) {
    if (info.appCompatFlags == 0 && info.appCompatFlagsUser == 0 && info.shimData.empty() &&
        info.appCompatInfo.empty()) {
        stream << crlf << L"No info found in process, not shimmed or running on 2k3!" << crlf;
        return;
    }
    stream << crlf << L"Live info:" << crlf;
    if (info.appCompatFlags != 0) {
        stream << L"AppCompatFlags: 0x" << std::hex << info.appCompatFlags << crlf;
    }
    if (info.appCompatFlagsUser != 0) {
        stream << L"AppCompatFlags: 0x" << std::hex << info.appCompatFlagsUser << crlf;
    }
    if (!info.shimData.empty()) {
        const void* shimData = UnpackableShimData(info);
        if (shimData != nullptr) {
            unpack(shimData, info.targetIs64Bit, stream);
        } else {
            stream << L"Unable to unpack AppCompatData" << crlf << crlf;
        }
    }
    if (!info.appCompatInfo.empty()) {
        stream << L"AppCompatInfo:" << crlf;
        HexDump(stream, &info.appCompatInfo[0], static_cast<int>(info.appCompatInfoSize));
    }
}
