// Tests of matches against the sample databases in the prefix.
#include "engine.h"
#include "../../sdb/sdb_tags.h"

#include <gtest/gtest.h>

namespace {

const wchar_t* const MainGuid = L"{11111111-1111-1111-1111-111111111111}";
const wchar_t* const CustomGuid = L"{4c8f2a1e-7b3d-4e59-9a06-d2c4b8e1f357}";

struct SampleMatch : ::testing::Test {
    ContextHolder context{TheEngine().SdbInitDatabaseEx(0, nullptr, 0x14C)};
    std::vector<BYTE> record = MarkedBuffer();

    BOOL Match(const std::wstring& name) {
        return TheEngine().SdbGetMatchingExe(context.hsdb, (SampleFolder + name).c_str(), nullptr,
                                             nullptr, 0, record.data());
    }
    // Exactly the 456-byte record was written, its last byte zero.
    void ExpectWholeRecord() {
        EXPECT_EQ(FieldAt(record, 456), 0xABABABABu);
        EXPECT_EQ(record[455], 0);
    }
};

TEST_F(SampleMatch, CadWriterGetsItsEntryWithNestedLayersShimsFlagsAndApphelp) {
    ASSERT_TRUE(Match(L"cadwriter.exe"));
    ExpectWholeRecord();
    ASSERT_EQ(FieldAt(record, 168), 1u); // one exe: the older-release entry does not match
    TAGREF exe = FieldAt(record, 0);
    EXPECT_EQ(exe >> 28, 0u);
    EXPECT_EQ(NameOf(context.hsdb, exe), L"cadwriter.exe");
    EXPECT_EQ(ChildNames(context.hsdb, exe, sdb::TAG_LAYER),
              (std::vector<std::wstring>{L"WinXPSp3", L"DisableThemes"}));
    EXPECT_EQ(ChildNames(context.hsdb, exe, sdb::TAG_SHIM_REF),
              (std::vector<std::wstring>{L"PadHeapAllocations", L"RedirectProgramFolderWrites"}));
    EXPECT_EQ(FieldAt(record, 64), 0x10000004u);
    ASSERT_EQ(FieldAt(record, 172), 2u);
    EXPECT_EQ(NameOf(context.hsdb, FieldAt(record, 128)), L"WinXPSp3");
    EXPECT_EQ(NameOf(context.hsdb, FieldAt(record, 132)), L"DisableThemes");
    TAGREF apphelp = FieldAt(record, 164);
    PDB pdb = nullptr;
    TAGID tagId = 0;
    ASSERT_TRUE(TheEngine().SdbTagRefToTagID(context.hsdb, apphelp, &pdb, &tagId));
    EXPECT_EQ(TheEngine().SdbGetTagFromTagID(pdb, tagId), sdb::TAG_APPHELP);
    EXPECT_EQ(FieldAt(record, 192), 0u);
    EXPECT_EQ(FieldAt(record, 196), 1u);
    EXPECT_EQ(DatabaseGuidText(record, 0), MainGuid);
}

TEST_F(SampleMatch, LedgerProMatchesInTheMainAndTheCustomDatabase) {
    ASSERT_TRUE(Match(L"ledgerpro.exe"));
    ExpectWholeRecord();
    ASSERT_EQ(FieldAt(record, 168), 2u);
    EXPECT_EQ(FieldAt(record, 0) >> 28, 0u);
    EXPECT_EQ(FieldAt(record, 4) >> 28, 1u);
    EXPECT_EQ(NameOf(context.hsdb, FieldAt(record, 4)), L"ledgerpro.exe");
    EXPECT_EQ(ChildNames(context.hsdb, FieldAt(record, 4), sdb::TAG_SHIM_REF),
              (std::vector<std::wstring>{L"LedgerPrinterFix"}));
    EXPECT_EQ(FieldAt(record, 64), 0u);
    EXPECT_EQ(FieldAt(record, 68), 2u);
    ASSERT_EQ(FieldAt(record, 172), 2u);
    EXPECT_EQ(NameOf(context.hsdb, FieldAt(record, 128)), L"RunAsInvoker");
    EXPECT_EQ(NameOf(context.hsdb, FieldAt(record, 132)), L"HighDpiAware");
    EXPECT_EQ(FieldAt(record, 196), 3u);
    EXPECT_EQ(DatabaseGuidText(record, 0), MainGuid);
    EXPECT_EQ(DatabaseGuidText(record, 1), CustomGuid);
}

TEST_F(SampleMatch, PlainAppMatchesNothing) {
    EXPECT_FALSE(Match(L"plainapp.exe"));
    ExpectWholeRecord();
    EXPECT_EQ(FieldAt(record, 168), 0u);
    EXPECT_EQ(FieldAt(record, 172), 0u);
    EXPECT_EQ(FieldAt(record, 196), 0u);
}

// The custom database applies only to the programs the registry names it for: a copy of
// ledgerpro.exe under another name matches nowhere.
TEST_F(SampleMatch, CustomDatabaseIsConsultedOnlyForItsPrograms) {
    ScratchFolder folder;
    std::wstring copy = folder.Write(L"ledgercopy.exe",
                                     ReadWholeFile(std::wstring(SampleFolder) + L"ledgerpro.exe"));
    EXPECT_FALSE(TheEngine().SdbGetMatchingExe(context.hsdb, copy.c_str(), nullptr, nullptr, 0,
                                               record.data()));
    std::wstring same = folder.Write(L"LEDGERPRO.EXE",
                                     ReadWholeFile(std::wstring(SampleFolder) + L"ledgerpro.exe"));
    ASSERT_TRUE(TheEngine().SdbGetMatchingExe(context.hsdb, same.c_str(), nullptr, nullptr, 0,
                                              record.data()));
    EXPECT_EQ(FieldAt(record, 168), 2u);
}

// A wildcard entry of the main database (northwind?*.exe) matches renamed copies of
// cadwriter.exe whose names its pattern fits, and no other.
TEST_F(SampleMatch, WildcardEntryMatchesTheNamesItsPatternFits) {
    ScratchFolder folder;
    std::vector<BYTE> program = ReadWholeFile(std::wstring(SampleFolder) + L"cadwriter.exe");
    for (const wchar_t* name : {L"NorthwindViewer.exe", L"northwind2.EXE"}) {
        std::wstring copy = folder.Write(name, program);
        ASSERT_TRUE(TheEngine().SdbGetMatchingExe(context.hsdb, copy.c_str(), nullptr, nullptr, 0,
                                                  record.data()));
        ASSERT_EQ(FieldAt(record, 168), 1u);
        EXPECT_EQ(NameOf(context.hsdb, FieldAt(record, 0)), L"northwind?*.exe");
        ASSERT_EQ(FieldAt(record, 172), 1u);
        EXPECT_EQ(NameOf(context.hsdb, FieldAt(record, 128)), L"HighDpiAware");
    }
    for (const wchar_t* name : {L"northwind.exe", L"northwind2.dll"}) {
        std::wstring copy = folder.Write(name, program);
        EXPECT_FALSE(TheEngine().SdbGetMatchingExe(context.hsdb, copy.c_str(), nullptr, nullptr, 0,
                                                   record.data()));
    }
}

} // namespace
