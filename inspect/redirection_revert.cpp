#include "redirection_revert.h"

#include "../app/entry_point.h"

Wow64DisableWow64FsRedirectionFn Wow64DisableWow64FsRedirectionEntry = NULL;
Wow64RevertWow64FsRedirectionFn Wow64RevertWow64FsRedirectionEntry = NULL;

namespace {

template <typename Entry> void LookUpWhileMissing(Entry& entry, const char* name) {
    if (entry == NULL) {
        entry = EntryPoint<Entry>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name));
    }
}

} // namespace

RedirectionRevert::RedirectionRevert() : cookie(NULL) {
    LookUpWhileMissing(Wow64DisableWow64FsRedirectionEntry, "Wow64DisableWow64FsRedirection");
    if (Wow64DisableWow64FsRedirectionEntry != NULL) {
        Wow64DisableWow64FsRedirectionEntry(&cookie);
    }
}

RedirectionRevert::~RedirectionRevert() {
    LookUpWhileMissing(Wow64RevertWow64FsRedirectionEntry, "Wow64RevertWow64FsRedirection");
    if (Wow64RevertWow64FsRedirectionEntry != NULL) {
        Wow64RevertWow64FsRedirectionEntry(cookie);
    }
}
