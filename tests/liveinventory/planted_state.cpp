// Registry values and files that a test plants in the prefix's system and removes again.
#include "planted_state.h"

#include <cstring>

#include "../../sdb/sdb_writer.h"

const wchar_t* const AppCompatFlagsKey =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags";

PlantedValue::PlantedValue(HKEY root, REGSAM view, const std::wstring& key,
                           const std::wstring& name, DWORD type, const std::vector<BYTE>& data,
                           size_t size)
    : root_(root), view_(view), key_(key), name_(name), written_(false) {
    // Each missing key on the way is created, and remembered for removal.
    std::wstring path;
    HKEY opened = NULL;
    size_t start = 0;
    while (start <= key.size()) {
        const size_t end = key.find(L'\\', start);
        path = key.substr(0, end);
        DWORD disposition = 0;
        if (RegCreateKeyExW(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS | view, NULL, &opened,
                            &disposition) != ERROR_SUCCESS) {
            return;
        }
        if (disposition == REG_CREATED_NEW_KEY) {
            createdKeys_.push_back(path);
        }
        if (end == std::wstring::npos) {
            break;
        }
        RegCloseKey(opened);
        start = end + 1;
    }
    written_ = RegSetValueExW(opened, name.c_str(), 0, type, data.empty() ? NULL : &data[0],
                              static_cast<DWORD>(size < data.size() ? size : data.size())) ==
               ERROR_SUCCESS;
    RegCloseKey(opened);
}

PlantedValue::~PlantedValue() {
    HKEY key = NULL;
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_SET_VALUE | view_, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, name_.c_str());
        RegCloseKey(key);
    }
    for (size_t i = createdKeys_.size(); i-- > 0;) {
        RegDeleteKeyExW(root_, createdKeys_[i].c_str(), view_, 0);
    }
}

PlantedFile::PlantedFile(const std::wstring& path, const std::vector<uint8_t>& bytes)
    : path_(path), written_(false) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    written_ = WriteFile(file, bytes.empty() ? NULL : &bytes[0], static_cast<DWORD>(bytes.size()),
                         &written, NULL) &&
               written == bytes.size();
    CloseHandle(file);
}

PlantedFile::~PlantedFile() {
    DeleteFileW(path_.c_str());
}

PlantedFolder::PlantedFolder(const std::wstring& path)
    : path_(path), created_(CreateDirectoryW(path.c_str(), NULL) != FALSE) {}

PlantedFolder::~PlantedFolder() {
    if (created_) {
        RemoveDirectoryW(path_.c_str());
    }
}

std::vector<BYTE> StringData(const std::wstring& text) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

std::vector<BYTE> DwordData(DWORD value) {
    std::vector<BYTE> data(sizeof value);
    std::memcpy(&data[0], &value, sizeof value);
    return data;
}

std::vector<BYTE> QwordData(ULONGLONG value) {
    std::vector<BYTE> data(sizeof value);
    std::memcpy(&data[0], &value, sizeof value);
    return data;
}

std::wstring WindowsFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(folder, MAX_PATH);
    return folder;
}

std::vector<uint8_t> DatabaseImage(const std::u16string& name, const std::string& id,
                                   bool injects) {
    using namespace sdb;
    WriterPtr writer = create_writer(3);
    const TAGID database = begin_list(*writer, TAG_DATABASE);
    write_string(*writer, TAG_NAME, name);
    Guid guid{};
    parse_guid(id, &guid);
    write_guid(*writer, TAG_DATABASE_ID, guid);
    // 2020-01-02T03:04:05Z as a FILETIME.
    write_qword(*writer, TAG_TIME, 132224078450000000ULL);
    write_string(*writer, TAG_COMPILER_VERSION, u"3.0.0.9");
    const TAGID exe = begin_list(*writer, TAG_EXE);
    write_string(*writer, TAG_NAME, u"victim.exe");
    write_string(*writer, TAG_APP_NAME, u"Victim");
    const TAGID file = begin_list(*writer, TAG_MATCHING_FILE);
    write_string(*writer, TAG_NAME, u"*");
    end_list(*writer, file);
    if (injects) {
        const TAGID shim = begin_list(*writer, TAG_SHIM_REF);
        write_string(*writer, TAG_NAME, u"InjectDll");
        write_string(*writer, TAG_COMMAND_LINE, u"payload.dll");
        end_list(*writer, shim);
    }
    end_list(*writer, exe);
    end_list(*writer, database);
    std::vector<uint8_t> image;
    close_to_buffer(*writer, &image);
    return image;
}
