// Tests of the evaluator's Win32 view: the engine's attributes as typed values, files, folders
// and text in files, registry keys and values.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../sdb/sdb_tags.h"
#include "../../shimreport/win32_match_world.h"
#include "fake_shim_engine.h"

namespace {

ATTRINFO Attribute(TAG tag, ULONGLONG value, DWORD flags = AttributeAvailable) {
    ATTRINFO attribute;
    attribute.tAttrID = tag;
    attribute.dwFlags = flags;
    attribute.ullAttr = value;
    return attribute;
}

ATTRINFO Text(TAG tag, const wchar_t* text) {
    ATTRINFO attribute = Attribute(tag, 0);
    attribute.lpAttr = const_cast<WCHAR*>(text);
    return attribute;
}

// An engine that writes only the DWORD member leaves the upper half as it was: only the member
// the tag's type names is read; attributes the engine marks unavailable are left out.
TEST(MatchWorld, EngineAttributesBecomeTypedValuesByTheirTagsType) {
    ATTRINFO size = Attribute(sdb::TAG_SIZE, 0xDEADBEEF00000000ULL);
    size.dwAttr = 4096;
    ATTRINFO word = Attribute(TAG(0x3001), 0); // a WORD tag: the low 16 bits alone
    word.dwAttr = 0x10003;
    const ATTRINFO attributes[] = {
        size,
        word,
        Attribute(sdb::TAG_CHECKSUM, 7, 0),
        Attribute(sdb::TAG_BIN_FILE_VERSION, 0x0002000500000001ULL),
        Text(sdb::TAG_COMPANY_NAME, L"Northwind"),
        Text(sdb::TAG_PRODUCT_NAME, nullptr),
        Attribute(TAG(0x9001), 5), // a binary tag: no value of a condition
    };
    const FileAttributes converted = ConvertAttributes(attributes, 7);
    EXPECT_EQ(3u, converted.numbers.size());
    EXPECT_EQ(3u, converted.numbers.at(0x3001));
    EXPECT_EQ(4096u, converted.numbers.at(sdb::TAG_SIZE));
    EXPECT_EQ(0x0002000500000001ULL, converted.numbers.at(sdb::TAG_BIN_FILE_VERSION));
    ASSERT_EQ(1u, converted.strings.size());
    EXPECT_EQ(u"Northwind", converted.strings.at(sdb::TAG_COMPANY_NAME));
    EXPECT_TRUE(ConvertAttributes(nullptr, 3).numbers.empty());
}

std::wstring TestFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + (sizeof(void*) == 8 ? L"quillet-world-64" : L"quillet-world-32");
    CreateDirectoryW(folder.c_str(), NULL);
    return folder;
}

std::u16string Path(const std::wstring& path) {
    return std::u16string(path.begin(), path.end());
}

void WriteFileBytes(const std::wstring& path, const std::vector<BYTE>& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    CloseHandle(file);
}

int FreeCalls = 0;
ATTRINFO Handed[2];

BOOL WINAPI HandOver(LPCWSTR, PATTRINFO* attributes, LPDWORD count) {
    Handed[0] = Attribute(sdb::TAG_SIZE, 0);
    Handed[0].dwAttr = 5;
    Handed[1] = Text(sdb::TAG_COMPANY_NAME, L"Contoso");
    *attributes = Handed;
    *count = 2;
    return TRUE;
}

BOOL WINAPI CountFree(PATTRINFO) {
    ++FreeCalls;
    return TRUE;
}

// A text is found across the boundary of two reads; a folder is no file; a missing path is
// a plain no, and the engine's attributes are taken and handed back once.
TEST(MatchWorld, FilesFoldersAndTextAreLookedUp) {
    const std::wstring folder = TestFolder();
    const std::wstring file = folder + L"\\text.bin";
    std::vector<BYTE> bytes(70000, 'x');
    bytes[65534] = 'A';
    bytes[65535] = 'B';
    bytes[65536] = 'C';
    WriteFileBytes(file, bytes);
    Win32MatchWorld world(KEY_WOW64_64KEY);
    EXPECT_EQ(Knowledge::Yes, world.FileContains(Path(file), {'A', 'B', 'C'}));
    EXPECT_EQ(Knowledge::No, world.FileContains(Path(file), {'A', 'C'}));
    EXPECT_EQ(Knowledge::No, world.FileContains(Path(folder + L"\\none.bin"), {'A'}));
    EXPECT_EQ(Knowledge::Yes, world.FolderExists(Path(folder)));
    EXPECT_EQ(Knowledge::No, world.FolderExists(Path(file)));
    EXPECT_EQ(Knowledge::No, world.FolderExists(Path(folder + L"\\none")));

    InstallFakeEngine();
    ApphelpApi.SdbGetFileAttributes = HandOver;
    ApphelpApi.SdbFreeFileAttributes = CountFree;
    FreeCalls = 0;
    const FileAttributes* attributes = nullptr;
    EXPECT_EQ(FileState::Missing, world.Attributes(Path(folder), &attributes));
    EXPECT_EQ(FileState::Missing, world.Attributes(Path(folder + L"\\none.bin"), &attributes));
    EXPECT_EQ(0, FreeCalls);
    ASSERT_EQ(FileState::Present, world.Attributes(Path(file), &attributes));
    EXPECT_EQ(1, FreeCalls);
    EXPECT_EQ(5u, attributes->numbers.at(sdb::TAG_SIZE));
    EXPECT_EQ(u"Contoso", attributes->strings.at(sdb::TAG_COMPANY_NAME));
    const FileAttributes* first = attributes;
    ASSERT_EQ(FileState::Present, world.Attributes(Path(file), &attributes));
    EXPECT_EQ(5u, first->numbers.at(sdb::TAG_SIZE)); // the first answer is still there
    ApphelpApi.SdbGetFileAttributes = nullptr;
    EXPECT_EQ(FileState::Unreadable, world.Attributes(Path(file), &attributes));
    DeleteFileW(file.c_str());
}

RegistryQuery Query(const char16_t* key) {
    RegistryQuery query;
    query.key = key;
    return query;
}

// Keys and values by the database's forms; text compared without case, numbers and bytes
// exactly, a type that differs fails; a root the world does not know is unknown.
TEST(MatchWorld, RegistryKeysAndValuesAreLookedUp) {
    const wchar_t* const subkey = L"Software\\QuilletMatchWorldTest";
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, NULL, 0,
                                             KEY_SET_VALUE | KEY_WOW64_64KEY, NULL, &key, NULL));
    const wchar_t text[] = L"Contoso Ltd";
    RegSetValueExW(key, L"Vendor", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    const DWORD number = 42;
    RegSetValueExW(key, L"Level", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
    RegCloseKey(key);
    Win32MatchWorld world(KEY_WOW64_64KEY);
    EXPECT_EQ(Knowledge::Yes, world.RegistryHolds(Query(u"HKCU\\Software\\QuilletMatchWorldTest")));
    EXPECT_EQ(Knowledge::Yes,
              world.RegistryHolds(Query(u"hkey_current_user\\Software\\QuilletMatchWorldTest")));
    EXPECT_EQ(Knowledge::No, world.RegistryHolds(Query(u"HKCU\\Software\\QuilletNoSuchKey")));
    EXPECT_EQ(Knowledge::Unknown, world.RegistryHolds(Query(u"HKXX\\Software")));
    RegistryQuery value = Query(u"HKCU\\Software\\QuilletMatchWorldTest");
    value.hasValueName = true;
    value.valueName = u"Vendor";
    EXPECT_EQ(Knowledge::Yes, world.RegistryHolds(value));
    value.hasData = true;
    value.dataKind = 1;
    value.text = u"CONTOSO LTD";
    EXPECT_EQ(Knowledge::Yes, world.RegistryHolds(value));
    value.text = u"Contoso";
    EXPECT_EQ(Knowledge::No, world.RegistryHolds(value));
    value.valueName = u"Level";
    value.dataKind = 2;
    value.number = 42;
    EXPECT_EQ(Knowledge::Yes, world.RegistryHolds(value));
    value.number = 43;
    EXPECT_EQ(Knowledge::No, world.RegistryHolds(value));
    value.number = 42;
    value.type = REG_QWORD;
    EXPECT_EQ(Knowledge::No, world.RegistryHolds(value));
    value.valueName = u"Missing";
    value.hasData = false;
    EXPECT_EQ(Knowledge::No, world.RegistryHolds(value));
    RegDeleteKeyExW(HKEY_CURRENT_USER, subkey, KEY_WOW64_64KEY, 0);
}

// The running system is known; its %ProgramFiles% is the 64-bit folder even to a 32-bit
// program on a 64-bit Windows.
TEST(MatchWorld, RunningSystemGivesItsBuildAndFolders) {
    const SystemFacts system = RunningSystemFacts();
    ASSERT_TRUE(system.known);
    EXPECT_NE(0u, system.build);
    ASSERT_EQ(1u, system.variables.count(u"WINDIR"));
    wchar_t wide[MAX_PATH + 1] = {};
    if (system.is64Bit && GetEnvironmentVariableW(L"ProgramW6432", wide, MAX_PATH) > 0) {
        EXPECT_EQ(Path(wide), system.variables.at(u"PROGRAMFILES"));
    }
}

} // namespace
