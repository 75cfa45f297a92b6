// Writes the live shim state of the current target, unpacked by the shim engine.
#include "live_shim_report.h"

#include "../shimreport/unpack_shim_data.h"
#include "current_target.h"
#include "live_shim_info.h"
#include "live_state_text.h"

MatchReport UnpackedShimDataLines(const LiveShimInfo& info) {
    const void* shimData = UnpackableShimData(info);
    if (shimData != NULL) {
        return UnpackShimDataLines(shimData, info.targetIs64Bit);
    }
    MatchReport refused = {false, std::vector<MatchLine>()};
    AddMatchLine(refused, MatchLineKind::UnpackFailed);
    return refused;
}

void WriteLiveShimInfo(ReportStream& stream) {
    LiveShimInfo info = {
        0, 0, std::vector<unsigned char>(), std::vector<unsigned char>(), 0, false, 0, false};
    if (!ReadLiveShimInfo(CurrentTarget.processId, info)) {
        stream << L"Could not read remote shim info" << crlf;
        return;
    }
    WriteLiveState(info, UnpackShimData, stream);
}
