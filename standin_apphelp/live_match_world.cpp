// The running system's files, variables and version for the evaluator.
#include "live_match_world.h"

#include "../common/handle_holder.h"

#include "handles.h"
#include "path_resolution.h"
#include "recent_attributes.h"

#include <windows.h>

#include <vector>

namespace {

// Program headers sit near the start: the NE resident-name table well within this.
const DWORD HeaderBytes = 64 * 1024;

bool EngineIsWow64() {
    BOOL wow64 = FALSE;
    return sizeof(void*) == 4 && IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

std::u16string Variable(const wchar_t* name) {
    DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0)
        return std::u16string();
    std::wstring value(length, L'\0');
    DWORD written = GetEnvironmentVariableW(name, &value[0], length);
    value.resize(written < length ? written : 0);
    return std::u16string(AsU16(value.c_str()), value.size());
}

// The path the engine opens for a path in the program's view.
std::wstring EnginePath(const std::u16string& path) {
    std::u16string opened = path;
    if (EngineIsWow64()) {
        std::u16string system32 = FoldedText(Variable(L"SystemRoot")) + u"\\SYSTEM32";
        std::u16string folded = FoldedText(path);
        if (system32.size() > 9 && folded.compare(0, system32.size(), system32) == 0 &&
            (folded.size() == system32.size() || folded[system32.size()] == u'\\'))
            opened =
                path.substr(0, system32.size() - 8) + u"Sysnative" + path.substr(system32.size());
    }
    return std::wstring(AsWide(opened.c_str()), opened.size());
}

} // namespace

FileState LiveMatchWorld::Attributes(const std::u16string& path,
                                     const FileAttributes** attributes) {
    std::u16string key = FoldedText(path);
    auto found = files_.find(key);
    if (found == files_.end()) {
        std::wstring opened = EnginePath(path);
        Entry entry;
        entry.attributes.reset(new FileAttributes());
        entry.state = FileState::Present;
        if (!RecentFileAttributes(opened.c_str(), *entry.attributes)) {
            DWORD kind = GetFileAttributesW(opened.c_str());
            DWORD error = GetLastError();
            bool absent = kind == INVALID_FILE_ATTRIBUTES &&
                          (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
            bool folder = kind != INVALID_FILE_ATTRIBUTES && (kind & FILE_ATTRIBUTE_DIRECTORY);
            entry.state = absent || folder ? FileState::Missing : FileState::Unreadable;
            entry.attributes.reset();
        }
        found = files_.emplace(key, std::move(entry)).first;
    }
    *attributes = found->second.attributes.get();
    return found->second.state;
}

Knowledge LiveMatchWorld::FolderExists(const std::u16string& path) {
    std::wstring opened = EnginePath(path);
    DWORD kind = GetFileAttributesW(opened.c_str());
    if (kind == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Knowledge::No
                                                                              : Knowledge::Unknown;
    }
    return (kind & FILE_ATTRIBUTE_DIRECTORY) ? Knowledge::Yes : Knowledge::No;
}

SystemFacts LiveSystemFacts() {
    SystemFacts system;
    system.known = true;
    system.is64Bit = sizeof(void*) == 8 || EngineIsWow64();
    // RtlGetVersion tells the real build, which GetVersionEx hides from unmanifested callers.
    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    RtlGetVersionFn getVersion =
        ntdll == nullptr ? nullptr
                         : reinterpret_cast<RtlGetVersionFn>(
                               reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (getVersion != nullptr && getVersion(&version) == 0)
        system.build = version.dwBuildNumber;
    system.variables[u"WINDIR"] = Variable(L"windir");
    system.variables[u"SYSTEMROOT"] = Variable(L"SystemRoot");
    system.variables[u"SYSTEMDRIVE"] = Variable(L"SystemDrive");
    system.variables[u"USERPROFILE"] = Variable(L"USERPROFILE");
    // A 32-bit process sees the x86 folder as ProgramFiles; ProgramW6432 names the other.
    std::u16string native = Variable(L"ProgramW6432");
    system.variables[u"PROGRAMFILES"] = native.empty() ? Variable(L"ProgramFiles") : native;
    system.variables[u"PROGRAMFILES(X86)"] = Variable(L"ProgramFiles(x86)");
    return system;
}

ProgramImage ReadProgramHeaders(const wchar_t* path) {
    const FileHandleHolder file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::vector<std::uint8_t> bytes(HeaderBytes);
    DWORD read = 0;
    if (!file.Held() || !ReadFile(file.Handle(), bytes.data(), HeaderBytes, &read, nullptr))
        return ProgramImage();
    return ReadProgramImage(bytes.data(), read);
}
