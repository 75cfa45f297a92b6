// The inventory's registry view over the registry of the running system.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "../common/handle_holder.h"
#include "../inventory/registry_view.h"

// Loads a user's hive file privately (RegLoadAppKeyW): no other program sees it, and it is
// unloaded when the last handle to it closes. Replaceable for tests.
typedef LONG (*UserHiveLoaderFn)(const wchar_t* file, HKEY* key);
extern UserHiveLoaderFn LoadUserHiveFile;

// Reads HKLM\SOFTWARE in the system's own view (KEY_WOW64_64KEY) and, on a 64-bit system, in
// the 32-bit view (KEY_WOW64_32KEY), whichever build asks; the current user's hive; every
// other user hive loaded under HKEY_USERS that opens for reading; and the hives of the other
// profiles that ProfileList names, loaded privately from their NTUSER.DAT for as long as the
// view lives. Only reads.
class Win32RegistryView : public inventory::RegistryView {
public:
    Win32RegistryView();
    ~Win32RegistryView() override;

    // The current user first (HKEY_CURRENT_USER), then the other hives of HKEY_USERS that open
    // for reading, in the registry's order, without the classes hives, then each profile of
    // ProfileList whose hive is not loaded, named by its SID, its source the hive's file. A
    // profile whose hive cannot be loaded is listed too: its keys are unreadable, and the first
    // read of one says why. Listed once, at the first question about users, since an
    // inventory of the databases alone needs none.
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
    // Per user: a hive this view loaded, or a profile's hive that could not be loaded.
    struct ProfileHive {
        std::unique_ptr<RegistryKeyHolder> key; // null unless this view loaded the hive
        bool failed = false;
        std::string problem; // why it failed; given with the first key read, then cleared
    };
    mutable std::vector<ProfileHive> hives_;
    void LoadProfileHives(const std::wstring& self, const std::vector<std::wstring>& loaded) const;
    bool FailedHive(const inventory::KeyPath& key, std::vector<std::string>* problems) const;
    std::unique_ptr<ValueBuffers> buffers_;
};
