// Placeholder until the shim report lands; replaced as a whole.
#include "hex_dump.h"
#include "match_executable.h"

void MatchExecutable(const std::wstring&, ReportStream&) {}
void UnpackShimData(const void*, bool, ReportStream&) {}
void HexDump(ReportStream&, const unsigned char*, int) {}
