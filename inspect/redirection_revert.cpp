// Turns WoW64 file-system redirection off for a scope where the platform has the calls.
#include "redirection_revert.h"

#include "../common/entry_point.h"

Wow64DisableWow64FsRedirectionFn Wow64DisableWow64FsRedirectionEntry = NULL;
Wow64RevertWow64FsRedirectionFn Wow64RevertWow64FsRedirectionEntry = NULL;

RedirectionRevert::RedirectionRevert() : cookie(NULL) {
    const Wow64DisableWow64FsRedirectionFn disable = LookUpWhileMissing(
        Wow64DisableWow64FsRedirectionEntry, Kernel32Module, "Wow64DisableWow64FsRedirection");
    if (disable != NULL) {
        disable(&cookie);
    }
}

RedirectionRevert::~RedirectionRevert() {
    const Wow64RevertWow64FsRedirectionFn revert = LookUpWhileMissing(
        Wow64RevertWow64FsRedirectionEntry, Kernel32Module, "Wow64RevertWow64FsRedirection");
    if (revert != NULL) {
        revert(cookie);
    }
}
