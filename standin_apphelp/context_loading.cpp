// Opens the installed and custom databases of a context.
#include "context_loading.h"

#include "file_paths.h"
#include "query_record.h"
#include "registry.h"

namespace {

const wchar_t* const InstalledKey = APPCOMPAT_KEY L"\\InstalledSDB";
const wchar_t* const CustomKey = APPCOMPAT_KEY L"\\Custom";

std::wstring ExpandedPath(const std::wstring& path) {
    DWORD length = ExpandEnvironmentStringsW(path.c_str(), nullptr, 0);
    if (length == 0)
        return path;
    std::wstring expanded(length, L'\0');
    DWORD written = ExpandEnvironmentStringsW(path.c_str(), &expanded[0], length);
    if (written == 0 || written > length)
        return path;
    expanded.resize(written - 1);
    return expanded;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool AddDatabaseFile(Context& context, const std::wstring& path, const std::wstring& customGuid) {
    if (context.databases.size() >= MaxDatabases)
        return false;
    sdb::DatabasePtr reader = sdb::open_database_file(path.c_str());
    if (!reader)
        return false;
    ContextDatabase database;
    database.handle = NewReaderHandle(std::move(reader), true);
    database.exeIndex.reset(new sdb::ExeIndex(*database.handle->reader));
    database.customGuid = customGuid;
    context.databases.push_back(std::move(database));
    return true;
}

void LoadInstalledDatabases(Context& context) {
    std::wstring main = WindowsPath(L"AppPatch\\sysmain.sdb");
    if (context.imageType == IMAGE_TYPE_X64) {
        std::wstring main64 = WindowsPath(L"AppPatch\\AppPatch64\\sysmain.sdb");
        if (FileExists(main64))
            main = main64;
    }
    AddDatabaseFile(context, main, std::wstring());
    for (const std::wstring& guid : RegistrySubkeys(HKEY_LOCAL_MACHINE, InstalledKey)) {
        std::wstring key = std::wstring(InstalledKey) + L"\\" + guid;
        std::wstring path;
        if (ReadRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), L"DatabasePath", path))
            AddDatabaseFile(context, ExpandedPath(path), guid);
    }
}

bool CustomDatabaseApplies(const std::wstring& customGuid, const std::wstring& exeName) {
    std::wstring key = std::wstring(CustomKey) + L"\\" + exeName;
    std::wstring value = customGuid + L".sdb";
    return RegistryValueExists(HKEY_LOCAL_MACHINE, key.c_str(), value.c_str());
}
