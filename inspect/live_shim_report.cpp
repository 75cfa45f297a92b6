// Writes the live shim state of the current target.
#include "live_shim_report.h"

#include "../shimreport/hex_dump.h"
#include "../shimreport/unpack_shim_data.h"
#include "current_target.h"
#include "live_shim_info.h"
#include "packed_size_check.h"

MatchReport UnpackedShimDataLines(const LiveShimInfo& info) {
    if (PackedSizeWithinCopy(info.shimData, info.shimDataSize)) {
        return UnpackShimDataLines(&info.shimData[0], info.targetIs64Bit);
    }
    MatchReport refused = {false, std::vector<MatchLine>()};
    AddMatchLine(refused, MatchLineKind::UnpackFailed);
    return refused;
}

void WriteUnpackedShimData(const LiveShimInfo& info, ReportStream& stream) {
    WriteMatchReport(UnpackedShimDataLines(info), stream);
}

void WriteLiveShimInfo(ReportStream& stream) {
    LiveShimInfo info = {0,     0, std::vector<unsigned char>(), std::vector<unsigned char>(), 0,
                         false, 0};
    if (!ReadLiveShimInfo(CurrentTarget.processId, info)) {
        stream << L"Could not read remote shim info" << crlf;
        return;
    }
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
        WriteUnpackedShimData(info, stream);
    }
    if (!info.appCompatInfo.empty()) {
        stream << L"AppCompatInfo:" << crlf;
        HexDump(stream, &info.appCompatInfo[0], static_cast<int>(info.appCompatInfoSize));
    }
}
