// The ntdll entries that read another process's memory, and their lookups.
#pragma once

#include <windows.h>

// The ntdll entry points that read another process's memory. All return an NTSTATUS;
// a negative one is a failure.
typedef LONG(NTAPI* NtQueryInformationProcessFn)(HANDLE process, ULONG infoClass, PVOID info,
                                                 ULONG infoSize, PULONG returnedSize);
typedef LONG(NTAPI* NtReadVirtualMemoryFn)(HANDLE process, PVOID address, PVOID buffer, SIZE_T size,
                                           PSIZE_T bytesRead);
typedef LONG(NTAPI* NtWow64QueryInformationProcess64Fn)(HANDLE process, ULONG infoClass, PVOID info,
                                                        ULONG infoSize, PULONG returnedSize);
typedef LONG(NTAPI* NtWow64ReadVirtualMemory64Fn)(HANDLE process, ULONGLONG address, PVOID buffer,
                                                  ULONGLONG size, PULONGLONG bytesRead);

// Each pair is looked up once, at the first read that needs it; a missing entry stays null.
extern bool NativeReadEntriesLookedUp;
extern NtQueryInformationProcessFn NtQueryInformationProcessEntry;
extern NtReadVirtualMemoryFn NtReadVirtualMemoryEntry;

extern bool Wow64ReadEntriesLookedUp;
extern NtWow64QueryInformationProcess64Fn NtWow64QueryInformationProcess64Entry;
extern NtWow64ReadVirtualMemory64Fn NtWow64ReadVirtualMemory64Entry;

// Looks up NtQueryInformationProcess and NtReadVirtualMemory on the first call.
void LookUpNativeReadEntries();

// Looks up NtWow64QueryInformationProcess64 and NtWow64ReadVirtualMemory64 on the first call.
void LookUpWow64ReadEntries();
