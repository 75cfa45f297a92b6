// Registry values and files that a test plants in the prefix's system and removes again.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The AppCompatFlags key below HKLM\SOFTWARE and below a user's hive.
extern const wchar_t* const AppCompatFlagsKey;

// One registry value, written at construction and deleted at destruction together with the
// keys that the construction created. view is KEY_WOW64_64KEY or KEY_WOW64_32KEY. Only the
// first size bytes of data are written (all by default): the registry completes a string whose
// terminator is missing when the unit after it is NUL, so that an unterminated string needs a
// non-NUL unit after its last one.
class PlantedValue {
public:
    PlantedValue(HKEY root, REGSAM view, const std::wstring& key, const std::wstring& name,
                 DWORD type, const std::vector<BYTE>& data, size_t size = ~size_t(0));
    ~PlantedValue();
    PlantedValue(const PlantedValue&) = delete;
    PlantedValue& operator=(const PlantedValue&) = delete;

    bool Written() const { return written_; }

private:
    HKEY root_;
    REGSAM view_;
    std::wstring key_;
    std::wstring name_;
    std::vector<std::wstring> createdKeys_; // deepest last
    bool written_;
};

// A file written at construction and deleted at destruction.
class PlantedFile {
public:
    PlantedFile(const std::wstring& path, const std::vector<uint8_t>& bytes);
    ~PlantedFile();
    PlantedFile(const PlantedFile&) = delete;
    PlantedFile& operator=(const PlantedFile&) = delete;

    bool Written() const { return written_; }

private:
    std::wstring path_;
    bool written_;
};

// A folder created at construction when it is missing, and removed at destruction when it
// was created (and is empty by then).
class PlantedFolder {
public:
    explicit PlantedFolder(const std::wstring& path);
    ~PlantedFolder();
    PlantedFolder(const PlantedFolder&) = delete;
    PlantedFolder& operator=(const PlantedFolder&) = delete;

private:
    std::wstring path_;
    bool created_;
};

// The data of a string value with its terminating NUL, of a DWORD and of a QWORD.
std::vector<BYTE> StringData(const std::wstring& text);
std::vector<BYTE> DwordData(DWORD value);
std::vector<BYTE> QwordData(ULONGLONG value);

// The Windows folder, and a path below it.
std::wstring WindowsFolder();

// A database image: NAME, DATABASE_ID, TIME, COMPILER_VERSION and one EXE entry for
// victim.exe, which loads payload.dll through InjectDll when injects is set.
std::vector<uint8_t> DatabaseImage(const std::u16string& name, const std::string& id, bool injects);
