// Loads the stand-in engine and helpers that read names through it.
#include "engine.h"
#include "../../sdb/sdb_tags.h"

#include <cstring>

namespace {

Engine LoadEngine() {
    Engine engine;
    std::memset(&engine, 0, sizeof engine);
    engine.module = LoadLibraryExW(L"apphelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (engine.module == nullptr)
        return engine;
#define LOOK_UP(name)                                                                              \
    engine.name = reinterpret_cast<decltype(engine.name)>(GetProcAddress(engine.module, #name))
    LOOK_UP(SdbInitDatabaseEx);
    LOOK_UP(SdbReleaseDatabase);
    LOOK_UP(SdbGetMatchingExe);
    LOOK_UP(SdbTagRefToTagID);
    LOOK_UP(SdbFindFirstTag);
    LOOK_UP(SdbFindNextTag);
    LOOK_UP(SdbGetStringTagPtr);
    LOOK_UP(SdbGetTagFromTagID);
    LOOK_UP(SdbGUIDToString);
    LOOK_UP(SdbGetPermLayerKeys);
    LOOK_UP(SdbPackAppCompatData);
    LOOK_UP(SdbUnpackAppCompatData);
    LOOK_UP(SdbGetAppCompatDataSize);
    LOOK_UP(SdbOpenDatabase);
    LOOK_UP(SdbCloseDatabase);
    LOOK_UP(SdbCreateDatabase);
    LOOK_UP(SdbBeginWriteListTag);
    LOOK_UP(SdbEndWriteListTag);
    LOOK_UP(SdbWriteStringTag);
    LOOK_UP(SdbWriteDWORDTag);
    LOOK_UP(SdbWriteBinaryTag);
    LOOK_UP(SdbCloseDatabaseWrite);
    LOOK_UP(SdbGetFileAttributes);
    LOOK_UP(SdbFreeFileAttributes);
#undef LOOK_UP
    return engine;
}

} // namespace

const Engine& TheEngine() {
    static const Engine engine = LoadEngine();
    return engine;
}

std::vector<BYTE> MarkedBuffer() {
    return std::vector<BYTE>(912, 0xAB);
}

DWORD FieldAt(const std::vector<BYTE>& record, std::size_t offset) {
    DWORD value = 0;
    std::memcpy(&value, &record[offset], sizeof value);
    return value;
}

std::wstring NameOf(HSDB hsdb, TAGREF tagRef) {
    const Engine& e = TheEngine();
    PDB pdb = nullptr;
    TAGID tagId = 0;
    if (!e.SdbTagRefToTagID(hsdb, tagRef, &pdb, &tagId))
        return L"?";
    LPWSTR name = e.SdbGetStringTagPtr(pdb, e.SdbFindFirstTag(pdb, tagId, sdb::TAG_NAME));
    return name == nullptr ? L"<null>" : name;
}

std::vector<std::wstring> ChildNames(HSDB hsdb, TAGREF parent, TAG tag) {
    const Engine& e = TheEngine();
    std::vector<std::wstring> names;
    PDB pdb = nullptr;
    TAGID tagId = 0;
    if (!e.SdbTagRefToTagID(hsdb, parent, &pdb, &tagId))
        return names;
    for (TAGID child = e.SdbFindFirstTag(pdb, tagId, tag); child != 0;
         child = e.SdbFindNextTag(pdb, tagId, child)) {
        LPWSTR name = e.SdbGetStringTagPtr(pdb, e.SdbFindFirstTag(pdb, child, sdb::TAG_NAME));
        names.push_back(name == nullptr ? L"<null>" : name);
    }
    return names;
}

std::wstring DatabaseGuidText(const std::vector<BYTE>& record, int slot) {
    wchar_t text[50] = {0};
    TheEngine().SdbGUIDToString(reinterpret_cast<const GUID*>(&record[200 + 16 * slot]), text, 50);
    return text;
}

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path = std::wstring(temp) + L"standin-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount());
    CreateDirectoryW(path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    for (const std::wstring& file : files)
        DeleteFileW(file.c_str());
    for (const std::wstring& folder : folders)
        RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(path.c_str());
}

std::wstring ScratchFolder::Write(const std::wstring& name, const std::vector<BYTE>& bytes) {
    std::wstring folder = path + L"\\" + std::to_wstring(folders.size());
    CreateDirectoryW(folder.c_str(), nullptr);
    folders.push_back(folder);
    std::wstring file = folder + L"\\" + name;
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (handle != INVALID_HANDLE_VALUE) {
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(handle);
    }
    files.push_back(file);
    return file;
}

std::vector<BYTE> ReadWholeFile(const std::wstring& path) {
    std::vector<BYTE> bytes;
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size;
    GetFileSizeEx(handle, &size);
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(handle);
    return bytes;
}
