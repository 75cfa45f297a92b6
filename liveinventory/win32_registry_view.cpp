// The inventory's registry view over the Win32 registry calls.
#include "win32_registry_view.h"

#include <sddl.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <utility>

#include "../common/handle_holder.h"
#include "../common/utf8_text.h"
#include "../common/wow64.h"

using inventory::KeyPath;
using inventory::KeyStatus;
using inventory::RegistryValue;
using inventory::UserHive;

namespace {

KeyStatus StatusOf(LONG error) {
    if (error == ERROR_SUCCESS) {
        return KeyStatus::Present;
    }
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? KeyStatus::Missing
                                                                          : KeyStatus::Unreadable;
}

// The string form of the SID the tool runs as; empty when the token cannot tell it.
std::wstring CurrentUserSid() {
    KernelHandleHolder token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) {
        return std::wstring();
    }
    DWORD size = 0;
    GetTokenInformation(token.Handle(), TokenUser, NULL, 0, &size);
    if (size == 0) {
        return std::wstring();
    }
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.Handle(), TokenUser, &buffer[0], size, &size)) {
        return std::wstring();
    }
    TOKEN_USER user;
    std::memcpy(&user, &buffer[0], sizeof user);
    LPWSTR text = NULL;
    if (!ConvertSidToStringSidW(user.User.Sid, &text)) {
        return std::wstring();
    }
    const std::wstring sid = text;
    LocalFree(text);
    return sid;
}

bool EndsWithClasses(const std::wstring& name) {
    const std::wstring suffix = L"_Classes";
    return name.size() > suffix.size() &&
           _wcsicmp(name.c_str() + name.size() - suffix.size(), suffix.c_str()) == 0;
}

// True when every surrogate of text is one of a pair.
bool ValidUtf16(std::wstring_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            return false;
        }
    }
    return true;
}

// Notes a name that UTF-8 cannot carry as it is.
void NoteBadName(std::wstring_view name, const char* what, std::vector<std::string>* problems) {
    if (problems != NULL && !ValidUtf16(name)) {
        problems->push_back(
            std::string("the ") + what + " \"" + Utf8(name) +
            "\" has a name that is not valid UTF-16; read with U+FFFD in its place");
    }
}

// The value names of a key are at most 16,383 units long.
const DWORD LongestValueName = 16384;

// Every subkey name of an open key, in the registry's order, converted by convert.
template <typename Name, typename Convert>
KeyStatus SubkeyNames(HKEY key, std::vector<Name>& names, Convert convert,
                      std::vector<std::string>* problems) {
    // A key name has at most 255 characters, so that no size needs asking first.
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        const LONG error = RegEnumKeyExW(key, index, name, &length, NULL, NULL, NULL, NULL);
        if (error == ERROR_NO_MORE_ITEMS) {
            return KeyStatus::Present;
        }
        if (error != ERROR_SUCCESS) {
            return index == 0 ? StatusOf(error) : KeyStatus::Unreadable;
        }
        NoteBadName(std::wstring_view(name, length), "subkey", problems);
        names.push_back(convert(std::wstring_view(name, length)));
    }
}

std::wstring Wide(std::wstring_view name) {
    return std::wstring(name);
}

LONG LoadAppKey(const wchar_t* file, HKEY* key) {
    return RegLoadAppKeyW(file, key, KEY_READ, REG_PROCESS_APPKEY, 0);
}

const wchar_t* const ProfileListKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// A profile's folder: its ProfileImagePath with the environment expanded; empty when it has
// none that is text of a sane length.
std::wstring ProfileFolder(HKEY profile) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(profile, L"ProfileImagePath", NULL, &type, NULL, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size < sizeof(wchar_t) || size > 65536) {
        return std::wstring();
    }
    std::vector<wchar_t> stored(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(profile, L"ProfileImagePath", NULL, &type,
                         reinterpret_cast<BYTE*>(&stored[0]), &size) != ERROR_SUCCESS) {
        return std::wstring();
    }
    stored.back() = L'\0';
    const std::wstring text(&stored[0]);
    const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), NULL, 0);
    if (type == REG_SZ || needed == 0) {
        return text;
    }
    std::vector<wchar_t> expanded(needed);
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), &expanded[0], needed);
    return written == 0 || written > needed ? text : std::wstring(&expanded[0]);
}

bool NamedIn(const std::vector<std::wstring>& names, const std::wstring& name) {
    for (const std::wstring& known : names) {
        if (_wcsicmp(known.c_str(), name.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

std::string ErrorText(LONG error) {
    return "error " + std::to_string(static_cast<unsigned long>(error));
}

} // namespace

// The buffers that values are read into, grown as a value needs and kept for the next key:
// most keys hold short names and small data.
struct Win32RegistryView::ValueBuffers {
    std::vector<wchar_t> name;
    std::vector<BYTE> data;
    ValueBuffers() : name(256), data(1024) {}
};

namespace {

// The value at one index, its data as stored. False at the end of the values; error tells a
// failure from the end.
bool ValueAt(HKEY key, DWORD index, Win32RegistryView::ValueBuffers& buffers, RegistryValue& value,
             LONG& error, std::vector<std::string>* problems) {
    for (;;) {
        DWORD nameLength = static_cast<DWORD>(buffers.name.size());
        DWORD type = REG_NONE;
        DWORD size = static_cast<DWORD>(buffers.data.size());
        error = RegEnumValueW(key, index, &buffers.name[0], &nameLength, NULL, &type,
                              &buffers.data[0], &size);
        if (error == ERROR_MORE_DATA && buffers.name.size() < LongestValueName) {
            buffers.name.resize(LongestValueName); // the name or the data did not fit
            continue;
        }
        if (error == ERROR_MORE_DATA && size > buffers.data.size() &&
            size <= Win32RegistryView::MaximumValueBytes) {
            buffers.data.resize(size);
            continue;
        }
        DWORD omitted = 0;
        if (error == ERROR_MORE_DATA) {
            // Too large to take: the name and the type only, asked without the data.
            omitted = size;
            nameLength = static_cast<DWORD>(buffers.name.size());
            error =
                RegEnumValueW(key, index, &buffers.name[0], &nameLength, NULL, &type, NULL, NULL);
            size = 0;
        }
        if (error != ERROR_SUCCESS) {
            return false;
        }
        NoteBadName(std::wstring_view(&buffers.name[0], nameLength), "value", problems);
        value.name = Utf8(std::wstring_view(&buffers.name[0], nameLength));
        value.type = type;
        value.data.assign(buffers.data.begin(), buffers.data.begin() + size);
        value.omitted_size = omitted;
        return true;
    }
}

} // namespace

UserHiveLoaderFn LoadUserHiveFile = LoadAppKey;

Win32RegistryView::Win32RegistryView() : usersListed_(false), buffers_(new ValueBuffers) {}

Win32RegistryView::~Win32RegistryView() = default;

void Win32RegistryView::ListUsers() const {
    if (usersListed_) {
        return;
    }
    usersListed_ = true;
    const std::wstring self = CurrentUserSid();
    users_.push_back(UserHive{Utf8(self.empty() ? L"current user" : self), "HKEY_CURRENT_USER"});
    userKeys_.push_back(std::wstring());
    hives_.emplace_back();
    std::vector<std::wstring> loaded;
    SubkeyNames(HKEY_USERS, loaded, Wide, NULL);
    for (const std::wstring& sid : loaded) {
        if (EndsWithClasses(sid) || _wcsicmp(sid.c_str(), self.c_str()) == 0) {
            continue;
        }
        RegistryKeyHolder hive;
        if (RegOpenKeyExW(HKEY_USERS, sid.c_str(), 0, KEY_READ, hive.Receive()) == ERROR_SUCCESS) {
            users_.push_back(UserHive{Utf8(sid), Utf8(L"HKEY_USERS\\" + sid)});
            userKeys_.push_back(sid);
            hives_.emplace_back();
        }
    }
    LoadProfileHives(self, loaded);
}

// Users who are not logged on keep their layers in their profile's NTUSER.DAT alone.
void Win32RegistryView::LoadProfileHives(const std::wstring& self,
                                         const std::vector<std::wstring>& loaded) const {
    RegistryKeyHolder list;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ProfileListKey, 0, KEY_READ | KEY_WOW64_64KEY,
                      list.Receive()) != ERROR_SUCCESS) {
        return;
    }
    std::vector<std::wstring> sids;
    SubkeyNames(list.Handle(), sids, Wide, NULL);
    for (const std::wstring& sid : sids) {
        if (_wcsicmp(sid.c_str(), self.c_str()) == 0 || NamedIn(loaded, sid)) {
            continue;
        }
        RegistryKeyHolder profile;
        std::wstring folder;
        if (RegOpenKeyExW(list.Handle(), sid.c_str(), 0, KEY_READ, profile.Receive()) ==
            ERROR_SUCCESS) {
            folder = ProfileFolder(profile.Handle());
        }
        const std::wstring file = folder.empty() ? std::wstring() : folder + L"\\NTUSER.DAT";
        ProfileHive hive;
        if (file.empty()) {
            hive.problem = "ProfileList gives this profile no folder";
        } else if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
            // Never loaded then: loading a missing file would create it.
            hive.problem = "its hive " + Utf8(file) + " cannot be found (" +
                           ErrorText(static_cast<LONG>(GetLastError())) + ")";
        } else {
            hive.key.reset(new RegistryKeyHolder);
            LONG error = LoadUserHiveFile(file.c_str(), hive.key->Receive());
            DWORD subkeys = 0;
            if (error == ERROR_SUCCESS) {
                // A loader that gives a handle it cannot read through has not loaded it.
                error = RegQueryInfoKeyW(hive.key->Handle(), NULL, NULL, NULL, &subkeys, NULL, NULL,
                                         NULL, NULL, NULL, NULL, NULL);
            }
            if (error != ERROR_SUCCESS) {
                hive.key.reset();
                hive.problem =
                    "its hive " + Utf8(file) + " could not be loaded (" + ErrorText(error) + ")";
            }
        }
        hive.failed = !hive.key;
        users_.push_back(
            UserHive{Utf8(sid), file.empty() ? Utf8(L"ProfileList\\" + sid) : Utf8(file)});
        userKeys_.push_back(sid);
        hives_.push_back(std::move(hive));
    }
}

// A key of a profile whose hive could not be loaded: unreadable, and the first one read says
// why.
bool Win32RegistryView::FailedHive(const KeyPath& key, std::vector<std::string>* problems) const {
    if (key.hive != inventory::Hive::User || key.user >= hives_.size() ||
        !hives_[key.user].failed) {
        return false;
    }
    if (problems != NULL && !hives_[key.user].problem.empty()) {
        problems->push_back(hives_[key.user].problem);
    }
    hives_[key.user].problem.clear();
    return true;
}

std::vector<UserHive> Win32RegistryView::users() const {
    ListUsers();
    return users_;
}

KeyStatus Win32RegistryView::Open(const KeyPath& key, HKEY* opened) const {
    HKEY root = HKEY_LOCAL_MACHINE;
    std::wstring path = L"SOFTWARE";
    // The engine reads the system's own view first; KEY_WOW64_64KEY names it from either
    // build, and a 32-bit system ignores the flag.
    REGSAM view = KEY_WOW64_64KEY;
    switch (key.hive) {
    case inventory::Hive::Machine:
        break;
    case inventory::Hive::Machine32:
        if (!SystemIs64Bit()) {
            return KeyStatus::Missing;
        }
        view = KEY_WOW64_32KEY;
        break;
    case inventory::Hive::User:
        ListUsers();
        if (key.user >= userKeys_.size()) {
            return KeyStatus::Missing;
        }
        root = userKeys_[key.user].empty() ? HKEY_CURRENT_USER : HKEY_USERS;
        path = userKeys_[key.user];
        if (hives_[key.user].failed) {
            return KeyStatus::Unreadable;
        }
        if (hives_[key.user].key) {
            root = hives_[key.user].key->Handle();
            path.clear();
        }
        break;
    }
    std::string_view below = key.path;
    // A subkey of the key listed last is opened from that key, as a program walking the
    // registry would, rather than from the root again.
    const std::string& listed = listedPath_.path;
    if (listed_.Held() && key.hive == listedPath_.hive && key.user == listedPath_.user &&
        below.size() > listed.size() + 1 && below.compare(0, listed.size(), listed) == 0 &&
        below[listed.size()] == '\\') {
        root = listed_.Handle();
        path.clear();
        below.remove_prefix(listed.size() + 1);
    }
    std::wstring wide = WideFromUtf8(below);
    if (wide.find(L'\0') != std::wstring::npos) {
        return KeyStatus::Missing; // no key name holds a NUL
    }
    if (path.empty()) {
        path = std::move(wide);
    } else if (!wide.empty()) {
        path.append(1, L'\\').append(wide);
    }
    return StatusOf(RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, opened));
}

KeyStatus Win32RegistryView::subkeys(const KeyPath& key, std::vector<std::string>* names,
                                     std::vector<std::string>* problems) const {
    names->clear();
    if (FailedHive(key, problems)) {
        return KeyStatus::Unreadable;
    }
    HKEY opened = NULL;
    const KeyStatus status = Open(key, &opened);
    if (status != KeyStatus::Present) {
        return status;
    }
    // Kept open for the values of its subkeys, which an inventory reads next.
    listed_.Reset(opened);
    listedPath_ = key;
    return SubkeyNames(opened, *names, Utf8, problems);
}

KeyStatus Win32RegistryView::values(const KeyPath& key, std::vector<RegistryValue>* values,
                                    std::vector<std::string>* problems) const {
    values->clear();
    if (FailedHive(key, problems)) {
        return KeyStatus::Unreadable;
    }
    RegistryKeyHolder opened;
    const KeyStatus status = Open(key, opened.Receive());
    if (status != KeyStatus::Present) {
        return status;
    }
    // Room for the values of the keys an inventory reads, in one allocation.
    values->reserve(8);
    LONG error = ERROR_SUCCESS;
    for (DWORD index = 0;; ++index) {
        RegistryValue value;
        if (!ValueAt(opened.Handle(), index, *buffers_, value, error, problems)) {
            return error == ERROR_NO_MORE_ITEMS ? KeyStatus::Present : KeyStatus::Unreadable;
        }

        values->push_back(std::move(value));
    }
}
