// Writes the line naming the running Windows version and WoW64.
#include "platform_banner.h"

#include "entry_point.h"
#include "output_pane.h"
#include "report_stream.h"
#include "wow64.h"

bool VersionLookedUp = false;
RtlGetVersionFn RtlGetVersionEntry = NULL;
OSVERSIONINFOEXW VersionRecord;

void WritePlatformBanner() {
    SetWindowTextW(OutputPane, L"");
    if (FirstLookUp(VersionLookedUp)) {
        RtlGetVersionEntry = FindEntryPoint<RtlGetVersionFn>(NtdllModule, "RtlGetVersion");
        ZeroMemory(&VersionRecord, sizeof VersionRecord);
        VersionRecord.dwOSVersionInfoSize = sizeof VersionRecord;
        // Without RtlGetVersion the record stays zero and the banner reads 0.0.0.
        if (RtlGetVersionEntry != NULL) {
            RtlGetVersionEntry(&VersionRecord);
        }
    }
    const bool wow64 = SelfIsWow64();
    ReportStream stream;
    stream << L"Running on " << VersionRecord.dwMajorVersion << L"." << VersionRecord.dwMinorVersion
           << L"." << VersionRecord.dwBuildNumber;
    if (wow64) {
        stream << L" (WoW64)";
    }
    AppendToOutputPane(stream.str());
}
