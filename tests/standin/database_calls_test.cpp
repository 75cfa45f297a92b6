// Tests of the stand-in engine's writing, reading, context and GUID calls.
#include "engine.h"
#include "../../sdb/sdb_tags.h"

#include <gtest/gtest.h>

namespace {

const GUID TestId = {0x0A1B2C3D, 0x4E5F, 0x6071, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};

// Writes a database through the engine's writing calls: two EXEs, the first with a
// nested LAYER, and an inline STRING item.
std::wstring WriteTestDatabase(ScratchFolder& folder) {
    const Engine& e = TheEngine();
    std::wstring path = folder.path + L"\\test.sdb";
    folder.files.push_back(path);
    PDB pdb = e.SdbCreateDatabase(path.c_str(), DOS_PATH);
    TAGID database = e.SdbBeginWriteListTag(pdb, sdb::TAG_DATABASE);
    e.SdbWriteStringTag(pdb, sdb::TAG_NAME, L"Written database");
    e.SdbWriteBinaryTag(pdb, sdb::TAG_DATABASE_ID, reinterpret_cast<const BYTE*>(&TestId), 16);
    e.SdbWriteStringTag(pdb, sdb::TAG_STRINGTABLE_ITEM, L"inline text");
    TAGID exe = e.SdbBeginWriteListTag(pdb, sdb::TAG_EXE);
    e.SdbWriteStringTag(pdb, sdb::TAG_NAME, L"written.exe");
    TAGID layer = e.SdbBeginWriteListTag(pdb, sdb::TAG_LAYER);
    e.SdbWriteStringTag(pdb, sdb::TAG_NAME, L"NestedOnly");
    e.SdbEndWriteListTag(pdb, layer);
    e.SdbEndWriteListTag(pdb, exe);
    exe = e.SdbBeginWriteListTag(pdb, sdb::TAG_EXE);
    e.SdbWriteStringTag(pdb, sdb::TAG_NAME, L"second.exe");
    e.SdbWriteDWORDTag(pdb, sdb::TAG_FLAGS, 0x40);
    e.SdbEndWriteListTag(pdb, exe);
    e.SdbEndWriteListTag(pdb, database);
    e.SdbCloseDatabaseWrite(pdb);
    return path;
}

TEST(DatabaseCalls, WrittenDatabaseReadsBackThroughTheTagCalls) {
    const Engine& e = TheEngine();
    ScratchFolder folder;
    PDB pdb = e.SdbOpenDatabase(WriteTestDatabase(folder).c_str(), DOS_PATH);
    ASSERT_NE(pdb, nullptr);
    TAGID database = e.SdbFindFirstTag(pdb, 0, sdb::TAG_DATABASE);
    ASSERT_NE(database, 0u);
    TAGID name = e.SdbFindFirstTag(pdb, database, sdb::TAG_NAME);
    EXPECT_STREQ(e.SdbGetStringTagPtr(pdb, name), L"Written database"); // STRINGREF
    EXPECT_STREQ(
        e.SdbGetStringTagPtr(pdb, e.SdbFindFirstTag(pdb, database, sdb::TAG_STRINGTABLE_ITEM)),
        L"inline text");                                     // STRING
    EXPECT_EQ(e.SdbGetStringTagPtr(pdb, database), nullptr); // a LIST
    EXPECT_EQ(e.SdbGetStringTagPtr(pdb, 0), nullptr);

    TAGID first = e.SdbFindFirstTag(pdb, database, sdb::TAG_EXE);
    TAGID second = e.SdbFindNextTag(pdb, database, first);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(e.SdbFindNextTag(pdb, database, second), 0u);
    EXPECT_STREQ(e.SdbGetStringTagPtr(pdb, e.SdbFindFirstTag(pdb, second, sdb::TAG_NAME)),
                 L"second.exe");
    // Only direct children: the LAYER inside the first EXE is not one of DATABASE's.
    EXPECT_EQ(e.SdbFindFirstTag(pdb, database, sdb::TAG_LAYER), 0u);
    EXPECT_NE(e.SdbFindFirstTag(pdb, first, sdb::TAG_LAYER), 0u);
    // A STRINGREF tag refuses a number.
    PDB writer = e.SdbCreateDatabase((folder.path + L"\\refused.sdb").c_str(), DOS_PATH);
    EXPECT_FALSE(e.SdbWriteDWORDTag(writer, sdb::TAG_NAME, 1));
    e.SdbCloseDatabaseWrite(writer);
    folder.files.push_back(folder.path + L"\\refused.sdb");
    e.SdbCloseDatabase(pdb);
}

// A context opened on one database file numbers it 0 and matches by name alone when an
// entry has no MATCHING_FILE.
TEST(DatabaseCalls, ContextOnAGivenDatabaseFile) {
    const Engine& e = TheEngine();
    ScratchFolder folder;
    std::wstring database = WriteTestDatabase(folder);
    ContextHolder context(e.SdbInitDatabaseEx(0x2, database.c_str(), 0x14C));
    ASSERT_NE(context.hsdb, nullptr);
    std::wstring program = folder.Write(L"second.exe", std::vector<BYTE>(10, 0));
    std::vector<BYTE> record = MarkedBuffer();
    ASSERT_TRUE(
        e.SdbGetMatchingExe(context.hsdb, program.c_str(), nullptr, nullptr, 1, record.data()));
    EXPECT_EQ(FieldAt(record, 168), 1u);
    EXPECT_EQ(NameOf(context.hsdb, FieldAt(record, 0)), L"second.exe");
    EXPECT_EQ(FieldAt(record, 64), 0x40u);
    EXPECT_EQ(DatabaseGuidText(record, 0), L"{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}");
    // A reference into a database the context does not have.
    PDB pdb = nullptr;
    TAGID tagId = 0;
    EXPECT_FALSE(e.SdbTagRefToTagID(context.hsdb, 0x30000000 | FieldAt(record, 0), &pdb, &tagId));
    EXPECT_FALSE(e.SdbTagRefToTagID(context.hsdb, 0x0FFFFFF0, &pdb, &tagId));
}

// A MATCHING_FILE names a file beside the executable, by a path relative to its folder.
TEST(DatabaseCalls, MatchingFileBesideTheExecutable) {
    const Engine& e = TheEngine();
    ScratchFolder folder;
    std::wstring database = folder.path + L"\\sibling.sdb";
    folder.files.push_back(database);
    PDB pdb = e.SdbCreateDatabase(database.c_str(), DOS_PATH);
    TAGID list = e.SdbBeginWriteListTag(pdb, sdb::TAG_DATABASE);
    TAGID exe = e.SdbBeginWriteListTag(pdb, sdb::TAG_EXE);
    e.SdbWriteStringTag(pdb, sdb::TAG_NAME, L"sibling.exe");
    TAGID file = e.SdbBeginWriteListTag(pdb, sdb::TAG_MATCHING_FILE);
    e.SdbWriteStringTag(pdb, sdb::TAG_NAME, L"data\\marker.txt");
    e.SdbWriteDWORDTag(pdb, sdb::TAG_SIZE, 5);
    e.SdbEndWriteListTag(pdb, file);
    e.SdbEndWriteListTag(pdb, exe);
    e.SdbEndWriteListTag(pdb, list);
    e.SdbCloseDatabaseWrite(pdb);

    std::wstring program = folder.Write(L"sibling.exe", std::vector<BYTE>(10, 0));
    std::wstring data = program.substr(0, program.rfind(L'\\')) + L"\\data";
    CreateDirectoryW(data.c_str(), nullptr);
    folder.folders.insert(folder.folders.begin(), data);
    std::wstring marker = data + L"\\marker.txt";
    folder.files.push_back(marker);
    ContextHolder context(e.SdbInitDatabaseEx(0x2, database.c_str(), 0x14C));
    std::vector<BYTE> record = MarkedBuffer();
    EXPECT_FALSE(e.SdbGetMatchingExe(context.hsdb, program.c_str(), nullptr, nullptr, 1,
                                     record.data())); // no such file yet

    HANDLE handle = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(handle, "12345", 5, &written, nullptr);
    CloseHandle(handle);
    EXPECT_TRUE(
        e.SdbGetMatchingExe(context.hsdb, program.c_str(), nullptr, nullptr, 1, record.data()));
}

TEST(DatabaseCalls, GuidTextNeedsRoomForAllOfIt) {
    wchar_t text[50];
    EXPECT_TRUE(TheEngine().SdbGUIDToString(&TestId, text, 39));
    EXPECT_STREQ(text, L"{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}");
    EXPECT_FALSE(TheEngine().SdbGUIDToString(&TestId, text, 38));
}

} // namespace
