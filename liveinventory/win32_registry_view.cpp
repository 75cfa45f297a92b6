// The inventory's registry view over the Win32 registry calls.
#include "win32_registry_view.h"

#include <sddl.h>

#include <cstring>
#include <cwchar>
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
        }
    }
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
