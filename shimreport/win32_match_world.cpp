// Answers the evaluator's questions through Win32 calls and the engine's attribute call.
#include "win32_match_world.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "../common/entry_point.h"
#include "../common/handle_holder.h"
#include "../common/platform_banner.h"
#include "../common/wow64.h"
#include "../sdb/sdb_tags.h"
#include "apphelp_api.h"
#include "program_image.h"

namespace {

// MATCHING_TEXT reads this much of a file at most; beyond it an absent text is unknown.
const ULONGLONG MostTextBytes = 64ULL * 1024 * 1024;
const DWORD ChunkBytes = 64 * 1024;
// A registry value larger than this is not read.
const DWORD MostValueBytes = 1024 * 1024;
// The first bytes of a program hold its PE or NE header in every real file.
const DWORD HeaderBytes = 64 * 1024;

// Windows' wchar_t is UTF-16: the evaluator's paths pass through unchanged.
std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

struct EngineAttributeTraits {
    typedef PATTRINFO Value;
    static PATTRINFO Empty() { return NULL; }
    static void Close(PATTRINFO attributes) { ApphelpApi.SdbFreeFileAttributes(attributes); }
};
typedef HandleHolder<EngineAttributeTraits> EngineAttributeHolder;

bool Missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

HANDLE OpenForReading(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

// The root key a database's key starts with, and the rest after its backslash.
HKEY RootOf(const std::u16string& key, std::wstring& rest) {
    static const struct {
        const wchar_t* name;
        HKEY root;
    } roots[] = {{L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                 {L"HKCU", HKEY_CURRENT_USER},  {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                 {L"HKU", HKEY_USERS},          {L"HKEY_USERS", HKEY_USERS},
                 {L"HKCR", HKEY_CLASSES_ROOT},  {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}};
    const std::wstring whole = Wide(key);
    const std::wstring::size_type slash = whole.find(L'\\');
    const std::wstring first = whole.substr(0, slash);
    for (const auto& root : roots) {
        if (CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), root.name, -1,
                                 TRUE) == CSTR_EQUAL) {
            rest = slash == std::wstring::npos ? std::wstring() : whole.substr(slash + 1);
            return root.root;
        }
    }
    return NULL;
}

// Whether the value's data is what the query asks for; Unknown for a form not compared.
Knowledge DataHolds(const RegistryQuery& query, DWORD type, const std::vector<BYTE>& data) {
    if (query.type != 0 && query.type != type) {
        return Knowledge::No;
    }
    switch (query.dataKind) {
    case 1: {
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            return Knowledge::No;
        }
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        if (!text.empty()) {
            std::memcpy(&text[0], data.data(), text.size() * sizeof(wchar_t));
        }
        text.resize(std::min(text.size(), text.find(L'\0')));
        const std::wstring wanted = Wide(query.text);
        return CompareStringOrdinal(text.c_str(), static_cast<int>(text.size()), wanted.c_str(),
                                    static_cast<int>(wanted.size()), TRUE) == CSTR_EQUAL
                   ? Knowledge::Yes
                   : Knowledge::No;
    }
    case 2: {
        if ((type != REG_DWORD || data.size() != 4) && (type != REG_QWORD || data.size() != 8)) {
            return Knowledge::No;
        }
        ULONGLONG number = 0;
        std::memcpy(&number, data.data(), data.size());
        return number == query.number ? Knowledge::Yes : Knowledge::No;
    }
    case 3:
        return data.size() == query.bytes.size() &&
                       std::equal(data.begin(), data.end(), query.bytes.begin())
                   ? Knowledge::Yes
                   : Knowledge::No;
    default:
        return Knowledge::Unknown;
    }
}

} // namespace

FileAttributes ConvertAttributes(const ATTRINFO* attributes, DWORD count) {
    FileAttributes converted;
    for (DWORD i = 0; attributes != NULL && i < count; ++i) {
        const ATTRINFO& attribute = attributes[i];
        if ((attribute.dwFlags & AttributeAvailable) == 0) {
            continue;
        }
        switch (sdb::tag_type(attribute.tAttrID)) {
        case sdb::TAG_TYPE_WORD:
            converted.numbers[attribute.tAttrID] = attribute.dwAttr & 0xFFFF;
            break;
        case sdb::TAG_TYPE_DWORD:
            converted.numbers[attribute.tAttrID] = attribute.dwAttr;
            break;
        case sdb::TAG_TYPE_QWORD:
            converted.numbers[attribute.tAttrID] = attribute.ullAttr;
            break;
        case sdb::TAG_TYPE_STRING:
        case sdb::TAG_TYPE_STRINGREF:
            if (attribute.lpAttr != NULL) {
                const wchar_t* text = attribute.lpAttr;
                converted.strings[attribute.tAttrID] =
                    std::u16string(text, text + std::wcslen(text));
            }
            break;
        default:
            break;
        }
    }
    return converted;
}

Win32MatchWorld::Win32MatchWorld(REGSAM registryView) : view_(registryView) {}

FileState Win32MatchWorld::Attributes(const std::u16string& path,
                                      const FileAttributes** attributes) {
    const std::wstring wide = Wide(path);
    const DWORD kind = GetFileAttributesW(wide.c_str());
    if (kind == INVALID_FILE_ATTRIBUTES) {
        return Missing(GetLastError()) ? FileState::Missing : FileState::Unreadable;
    }
    if ((kind & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return FileState::Missing; // a folder is no file
    }
    if (ApphelpApi.SdbGetFileAttributes == NULL || ApphelpApi.SdbFreeFileAttributes == NULL) {
        return FileState::Unreadable;
    }
    EngineAttributeHolder array;
    DWORD count = 0;
    if (!ApphelpApi.SdbGetFileAttributes(wide.c_str(), array.Receive(), &count) || !array.Held()) {
        return FileState::Unreadable;
    }
    read_.push_back(ConvertAttributes(array.Handle(), count));
    *attributes = &read_.back();
    return FileState::Present;
}

Knowledge Win32MatchWorld::FolderExists(const std::u16string& path) {
    const DWORD kind = GetFileAttributesW(Wide(path).c_str());
    if (kind == INVALID_FILE_ATTRIBUTES) {
        return Missing(GetLastError()) ? Knowledge::No : Knowledge::Unknown;
    }
    return (kind & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Knowledge::Yes : Knowledge::No;
}

Knowledge Win32MatchWorld::FileContains(const std::u16string& path,
                                        const std::vector<std::uint8_t>& bytes) {
    FileHandleHolder file(OpenForReading(Wide(path)));
    if (!file.Held()) {
        return Missing(GetLastError()) ? Knowledge::No : Knowledge::Unknown;
    }
    if (bytes.empty()) {
        return Knowledge::Yes;
    }
    // Chunks overlap by the text's length less one, so a text across two is still found.
    std::vector<BYTE> window;
    ULONGLONG total = 0;
    std::vector<BYTE> chunk(ChunkBytes);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Handle(), chunk.data(), ChunkBytes, &got, NULL)) {
            return Knowledge::Unknown;
        }
        if (got == 0) {
            return Knowledge::No;
        }
        window.insert(window.end(), chunk.begin(), chunk.begin() + got);
        if (std::search(window.begin(), window.end(), bytes.begin(), bytes.end()) != window.end()) {
            return Knowledge::Yes;
        }
        total += got;
        if (total >= MostTextBytes) {
            return Knowledge::Unknown;
        }
        const std::size_t keep = std::min(window.size(), bytes.size() - 1);
        window.erase(window.begin(), window.end() - keep);
    }
}

Knowledge Win32MatchWorld::RegistryHolds(const RegistryQuery& query) {
    std::wstring subkey;
    const HKEY root = RootOf(query.key, subkey);
    if (root == NULL) {
        return Knowledge::Unknown;
    }
    RegistryKeyHolder key;
    const LONG opened =
        RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE | view_, key.Receive());
    if (opened != ERROR_SUCCESS) {
        return Missing(static_cast<DWORD>(opened)) ? Knowledge::No : Knowledge::Unknown;
    }
    if (!query.hasValueName) {
        return query.hasData ? Knowledge::Unknown : Knowledge::Yes;
    }
    const std::wstring name = Wide(query.valueName);
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key.Handle(), name.c_str(), NULL, &type, NULL, &size);
    if (status != ERROR_SUCCESS) {
        return Missing(static_cast<DWORD>(status)) ? Knowledge::No : Knowledge::Unknown;
    }
    if (!query.hasData) {
        return Knowledge::Yes;
    }
    if (size > MostValueBytes) {
        return Knowledge::Unknown;
    }
    std::vector<BYTE> data(size);
    status = RegQueryValueExW(key.Handle(), name.c_str(), NULL, &type, data.data(), &size);
    if (status != ERROR_SUCCESS) {
        return Knowledge::Unknown;
    }
    data.resize(size);
    return DataHolds(query, type, data);
}

SystemFacts RunningSystemFacts() {
    SystemFacts system;
    OSVERSIONINFOEXW version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    const RtlGetVersionFn getVersion =
        FindEntryPoint<RtlGetVersionFn>(NtdllModule, "RtlGetVersion");
    if (getVersion == NULL || getVersion(&version) != 0) {
        return system;
    }
    system.known = true;
    system.build = version.dwBuildNumber;
    system.is64Bit = SystemIs64Bit();
    static const struct {
        const char16_t* name;
        const wchar_t* variable;
    } variables[] = {{u"WINDIR", L"windir"},
                     {u"SYSTEMROOT", L"SystemRoot"},
                     {u"SYSTEMDRIVE", L"SystemDrive"},
                     {u"PROGRAMFILES", L"ProgramFiles"},
                     {u"PROGRAMFILES(X86)", L"ProgramFiles(x86)"},
                     {u"USERPROFILE", L"USERPROFILE"}};
    for (const auto& variable : variables) {
        // A 32-bit program under WoW64 sees the 32-bit folder as %ProgramFiles%.
        const wchar_t* asked = variable.variable;
        if (SelfIsWow64() && std::u16string(variable.name) == u"PROGRAMFILES") {
            asked = L"ProgramW6432";
        }
        wchar_t value[MAX_PATH + 1] = {};
        const DWORD length = GetEnvironmentVariableW(asked, value, MAX_PATH + 1);
        if (length > 0 && length <= MAX_PATH) {
            system.variables[variable.name] = std::u16string(value, value + length);
        }
    }
    return system;
}

void ReadProgramHeader(const std::wstring& path, ProgramFacts& program) {
    FileHandleHolder file(OpenForReading(path));
    if (!file.Held()) {
        return;
    }
    std::vector<BYTE> header(HeaderBytes);
    DWORD got = 0;
    if (!ReadFile(file.Handle(), header.data(), HeaderBytes, &got, NULL)) {
        return;
    }
    const ProgramImage image = ReadProgramImage(header.data(), got);
    program.machine = image.machine;
    program.moduleName16 = image.moduleName16;
}
