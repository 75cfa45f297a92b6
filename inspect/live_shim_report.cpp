// Writes the live shim state of the current target, unpacked by the shim engine.
#include "live_shim_report.h"

#include "../shimreport/unpack_shim_data.h"
#include "current_target.h"
#include "live_shim_info.h"
#include "live_state_text.h"
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
    WriteShimDataMatch(info, UnpackShimData, stream);
}

void WriteLiveShimInfo(ReportStream& stream) {
    LiveShimInfo info = {0,     0, std::vector<unsigned char>(), std::vector<unsigned char>(), 0,
                         false, 0};
    if (!ReadLiveShimInfo(CurrentTarget.processId, info)) {
        stream << L"Could not read remote shim info" << crlf;
        return;
    }
    WriteLiveState(info, UnpackShimData, stream);
}
