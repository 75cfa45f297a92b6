// WoW64 questions about a process and about the tool itself.
#pragma once

#include <windows.h>

typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE process, PBOOL wow64);

// The IsWow64Process entry of kernel32, looked up once at the first question.
extern bool IsWow64ProcessLookedUp;
extern IsWow64ProcessFn IsWow64ProcessEntry;

// The cached answer of SelfIsWow64, computed at its first call.
extern bool SelfWow64Known;
extern bool SelfWow64;

// True when the entry exists, the call succeeds and reports a process under WoW64.
bool IsWow64(HANDLE process);

// IsWow64 of the tool's own process, asked once.
bool SelfIsWow64();

// Whether Windows itself is 64-bit: a 64-bit build runs only there, a 32-bit one under WoW64.
bool SystemIs64Bit();
