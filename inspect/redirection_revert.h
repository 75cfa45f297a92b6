// A scope in which WoW64 file-system redirection is off.
#pragma once

#include <windows.h>

typedef BOOL(WINAPI* Wow64DisableWow64FsRedirectionFn)(PVOID* cookie);
typedef BOOL(WINAPI* Wow64RevertWow64FsRedirectionFn)(PVOID cookie);

// Looked up in kernel32.dll at first use, and again at later uses while missing.
extern Wow64DisableWow64FsRedirectionFn Wow64DisableWow64FsRedirectionEntry;
extern Wow64RevertWow64FsRedirectionFn Wow64RevertWow64FsRedirectionEntry;

// Switches WoW64 file-system redirection off for its lifetime and back on at the end. The
// revert is made even when the switch-off was not, then with the null cookie.
class RedirectionRevert {
public:
    RedirectionRevert();
    ~RedirectionRevert();
    RedirectionRevert(const RedirectionRevert&) = delete;
    RedirectionRevert& operator=(const RedirectionRevert&) = delete;

private:
    PVOID cookie;
};
