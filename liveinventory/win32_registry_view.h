// The inventory's registry view over the registry of the running system.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "../common/handle_holder.h"
#include "../inventory/registry_view.h"

// Reads HKLM\SOFTWARE in the system's own view (KEY_WOW64_64KEY) and, on a 64-bit system, in
// the 32-bit view (KEY_WOW64_32KEY), whichever build asks; the current user's hive; and every
// other user hive loaded under HKEY_USERS that opens for reading. Only reads.
class Win32RegistryView : public inventory::RegistryView {
public:
    Win32RegistryView();
    ~Win32RegistryView() override;

    // The current user first (HKEY_CURRENT_USER), then the other hives of HKEY_USERS that open
    // for reading, in the registry's order, without the classes hives. Listed once, at the
    // first question about users, since an inventory of the databases alone needs none.
    std::vector<inventory::UserHive> users() const override;
    // A name that is not valid UTF-16 (a lone surrogate) is given with U+FFFD in its place and
    // a line in *problems, since no key or value of that name can be asked for again.
    inventory::KeyStatus subkeys(const inventory::KeyPath& key, std::vector<std::string>* names,
                                 std::vector<std::string>* problems = NULL) const override;
    inventory::KeyStatus values(const inventory::KeyPath& key,
                                std::vector<inventory::RegistryValue>* values,
                                std::vector<std::string>* problems = NULL) const override;

    // Values larger than this are given with their name and type and no data, so that a
    // planted giant value cannot exhaust the tool's memory.
    static const DWORD MaximumValueBytes = 1024 * 1024;

    struct ValueBuffers;

private:
    inventory::KeyStatus Open(const inventory::KeyPath& key, HKEY* opened) const;
    void ListUsers() const;

    // The key whose subkeys were listed last, held open for opening them.
    mutable RegistryKeyHolder listed_;
    mutable inventory::KeyPath listedPath_;
    mutable bool usersListed_;
    mutable std::vector<inventory::UserHive> users_;
    mutable std::vector<std::wstring> userKeys_; // below HKEY_USERS; empty for HKCU
    std::unique_ptr<ValueBuffers> buffers_;
};
