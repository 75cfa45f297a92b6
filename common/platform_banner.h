// The banner line that opens every report.
#pragma once

#include <windows.h>

typedef LONG(WINAPI* RtlGetVersionFn)(OSVERSIONINFOEXW* version);

// The version record, filled by RtlGetVersion at the first banner and kept for the run.
extern bool VersionLookedUp;
extern RtlGetVersionFn RtlGetVersionEntry;
extern OSVERSIONINFOEXW VersionRecord;

// Empties the output pane and writes "Running on major.minor.build", with " (WoW64)" under WoW64.
void WritePlatformBanner();
