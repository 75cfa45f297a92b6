// Tests of the entries of a match record as the report writes them.
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "../../shimreport/query_result_lines.h"
#include "fake_shim_engine.h"

namespace {

class EntryReport : public ::testing::Test {
protected:
    void SetUp() override { InstallFakeEngine(); }

    template <typename Record> std::wstring Print(const Record& record) {
        ContextHandleHolder context(Fake.context);
        MatchReport report = {false, std::vector<MatchLine>()};
        AddQueryResultLines(context, record, report);
        WriteMatchReport(report, stream);
        return stream.str();
    }

    ReportStream stream;
};

FakeEntry Named(const wchar_t* name) {
    FakeEntry entry;
    entry.name = name;
    return entry;
}

TEST_F(EntryReport, EmptyRecordWritesNothingInEitherLayout) {
    SdbQueryResult456 record456 = {};
    SdbQueryResult344 record344 = {};
    EXPECT_EQ(L"", Print(record456));
    EXPECT_EQ(L"", Print(record344));
    EXPECT_EQ(0, Fake.resolveCalls);
}

TEST_F(EntryReport, ExeEntryListsNestedLayersAndShimsThenItsFlags) {
    FakeEntry exe = Named(L"setup.exe");
    exe.layers = {0x200, 0x210};
    exe.shimRefs = {0x300};
    AddEntry(0x1f4, 0x100, exe);
    Fake.entries[0x200] = Named(L"WinXPSp3");
    Fake.entries[0x210] = Named(L"RunAsAdmin");
    Fake.entries[0x300] = Named(L"FaultTolerantHeap");
    SdbQueryResult456 record = {};
    record.exeCount = 1;
    record.exeTagRefs[0] = 0x1f4;
    record.exeFlags[0] = 0x20;
    EXPECT_EQ(L"EXE: (0x1f4) setup.exe\r\n"
              L"  - WinXPSp3\r\n"
              L"  - RunAsAdmin\r\n"
              L"  - FaultTolerantHeap, with flags: DISABLE_LAYER\r\n",
              Print(record));
    EXPECT_EQ(0, Fake.foreignDatabaseUses);
    EXPECT_EQ(0, Fake.closeCalls);
}

TEST_F(EntryReport, ExeEntryWithoutNestedEntriesIsOneLine) {
    AddEntry(0x1f4, 0x100, Named(L"setup.exe"));
    SdbQueryResult456 record = {};
    record.exeCount = 1;
    record.exeTagRefs[0] = 0x1f4;
    record.exeFlags[0] = 0x20;
    EXPECT_EQ(L"EXE: (0x1f4) setup.exe, with flags: DISABLE_LAYER\r\n", Print(record));
}

TEST_F(EntryReport, UnresolvedExeKeepsFlagsOnlyInTheLargerLayoutAndTheNextEntryFollows) {
    AddEntry(0x30, 0x100, Named(L"next.exe"));
    SdbQueryResult456 record456 = {};
    record456.exeCount = 2;
    record456.exeTagRefs[0] = 0x99;
    record456.exeFlags[0] = 0x2;
    record456.exeTagRefs[1] = 0x30;
    EXPECT_EQ(L"EXE: TagRefToTagID failed, with flags: DISABLE_APPHELP\r\n"
              L"EXE: (0x30) next.exe\r\n",
              Print(record456));

    stream.str(L"");
    SdbQueryResult344 record344 = {};
    record344.exeCount = 2;
    record344.exeTagRefs[0] = 0x99;
    record344.exeTagRefs[1] = 0x30;
    EXPECT_EQ(L"EXE: TagRefToTagID failed\r\nEXE: (0x30) next.exe\r\n", Print(record344));
    // The engine left a database behind on failure; it is neither used nor closed.
    EXPECT_EQ(0, Fake.foreignDatabaseUses);
    EXPECT_EQ(0, Fake.closeCalls);
}

TEST_F(EntryReport, MissingNamesShowNull) {
    FakeEntry exe;
    exe.hasNameTag = false;
    exe.layers = {0x200};
    exe.shimRefs = {0x300};
    AddEntry(0x10, 0x100, exe);
    FakeEntry nameTagWithoutString;
    Fake.entries[0x200] = nameTagWithoutString;
    Fake.entries[0x300] = Named(L"Shim");
    FakeEntry layer;
    layer.hasNameTag = false;
    AddEntry(0x20, 0x400, layer);
    SdbQueryResult344 record = {};
    record.exeCount = 1;
    record.exeTagRefs[0] = 0x10;
    record.layerCount = 1;
    record.layerTagRefs[0] = 0x20;
    EXPECT_EQ(L"EXE: (0x10) <null>\r\n  - <null>\r\n  - Shim\r\nLAYER: (0x20) <null>\r\n",
              Print(record));
}

TEST_F(EntryReport, ApphelpNumberFollowsTheBaseTheStreamHolds) {
    SdbQueryResult456 record = {};
    record.exeCount = 1;
    record.exeTagRefs[0] = 0x99;
    record.layerCount = 1;
    record.layerTagRefs[0] = 0x98;
    record.apphelpTagRef = 500;
    EXPECT_EQ(L"EXE: TagRefToTagID failed\r\nLAYER: TagRefToTagID failed\r\nApphelp: 500\r\n",
              Print(record));

    stream.str(L"");
    AddEntry(0x98, 0x100, Named(L"Layer"));
    EXPECT_EQ(L"EXE: TagRefToTagID failed\r\nLAYER: (0x98) Layer\r\nApphelp: 1f4\r\n",
              Print(record));
}

TEST_F(EntryReport, FullRecordInReportOrder) {
    AddEntry(0x10, 0x100, Named(L"first.exe"));
    AddEntry(0x20, 0x200, Named(L"second.exe"));
    AddEntry(0x30, 0x300, Named(L"Layer"));
    SdbQueryResult456 record = {};
    record.exeCount = 2;
    record.exeTagRefs[0] = 0x10;
    record.exeTagRefs[1] = 0x20;
    record.layerCount = 2;
    record.layerTagRefs[0] = 0x30;
    record.layerTagRefs[1] = 0x31;
    record.layerFlags = 0x1;
    record.resultFlags = 0x180;
    record.apphelpTagRef = 0x2a;
    record.customDbMap = 0x1;
    record.databaseIds[0] = FakeGuid(7);
    EXPECT_EQ(L"EXE: (0x10) first.exe\r\n"
              L"EXE: (0x20) second.exe\r\n"
              L"LAYER: (0x30) Layer\r\n"
              L"LAYER: TagRefToTagID failed\r\n"
              L"LayerFlags: DISABLE_SHIM\r\n"
              L"Flags: 0x180\r\n"
              L"Apphelp: 2a\r\n"
              L"SDB: {7}\r\n",
              Print(record));
}

TEST_F(EntryReport, CountsAboveCapacityStopAtTheLastSlot) {
    // The words after each array hold references that would resolve if read as entries.
    AddEntry(0x77, 0x100, Named(L"overrun"));
    SdbQueryResult456 record456 = {};
    record456.exeCount = 17;
    record456.exeFlags[0] = 0x77;
    record456.layerCount = 9;
    record456.layerFlags = 0x77;
    std::wstring text = Print(record456);
    EXPECT_EQ(std::wstring::npos, text.find(L"overrun"));
    EXPECT_EQ(16 + 8, Fake.resolveCalls);

    Fake.resolveCalls = 0;
    SdbQueryResult344 record344 = {};
    record344.exeCount = 0xFFFFFFFF;
    record344.layerTagRefs[0] = 0x77;
    text = Print(record344);
    EXPECT_EQ(std::wstring::npos, text.find(L"overrun"));
    EXPECT_EQ(4, Fake.resolveCalls);
}

TEST_F(EntryReport, MissingLookupEntriesAreNamedAndTheRestOfTheRecordFollows) {
    ApphelpApi.SdbTagRefToTagID = nullptr;
    ApphelpApi.SdbGetStringTagPtr = nullptr;
    SdbQueryResult344 record = {};
    record.exeCount = 1;
    record.exeTagRefs[0] = 0x10;
    record.resultFlags = 0x4;
    EXPECT_EQ(L"apphelp.dll: SdbTagRefToTagID not available\r\n"
              L"apphelp.dll: SdbGetStringTagPtr not available\r\n"
              L"Flags: APPHELP_NOUI\r\n",
              Print(record));
}

TEST_F(EntryReport, WithoutNextTagExeEntriesKeepTheirNamesAndTheMissingLineStandsForTheNested) {
    ApphelpApi.SdbFindNextTag = nullptr;
    AddEntry(0x10, 0x100, Named(L"setup.exe"));
    AddEntry(0x18, 0x180, Named(L"install.exe"));
    AddEntry(0x20, 0x200, Named(L"RunAsInvoker"));
    SdbQueryResult456 record = {};
    record.exeCount = 2;
    record.exeTagRefs[0] = 0x10;
    record.exeTagRefs[1] = 0x18;
    record.exeFlags[1] = 0x1;
    record.layerCount = 1;
    record.layerTagRefs[0] = 0x20;
    EXPECT_EQ(L"EXE: (0x10) setup.exe\r\n"
              L"apphelp.dll: SdbFindNextTag not available\r\n"
              L"EXE: (0x18) install.exe\r\n"
              L"apphelp.dll: SdbFindNextTag not available, with flags: DISABLE_SHIM\r\n"
              L"LAYER: (0x20) RunAsInvoker\r\n",
              Print(record));

    // Layers alone never walk on to a next tag, so nothing is missing for them.
    stream.str(L"");
    record.exeCount = 0;
    EXPECT_EQ(L"LAYER: (0x20) RunAsInvoker\r\n", Print(record));
}

TEST_F(EntryReport, ExceptionInAnEntryPassesOnWithoutClosingItsDatabase) {
    AddEntry(0x10, 0x100, Named(L"first.exe"));
    AddEntry(0x20, 0x200, Named(L"second.exe"));
    SdbQueryResult456 record = {};
    record.exeCount = 2;
    record.exeTagRefs[0] = 0x10;
    record.exeTagRefs[1] = 0x20;
    Fake.throwOnResolve = 1;
    EXPECT_THROW(Print(record), std::bad_alloc);
    EXPECT_EQ(0, Fake.closeCalls);
    EXPECT_EQ(1, Fake.releaseCalls);
}

} // namespace

namespace {

// An engine whose next-tag walk never answers 0: it hands back the same nested entry forever.
TAGID WINAPI NextTagThatNeverEnds(PDB, TAGID, TAGID previous) {
    return previous;
}

TEST_F(EntryReport, NestedWalkOfAnEngineThatNeverEndsStopsAtABound) {
    FakeEntry exe = Named(L"setup.exe");
    exe.layers = {0x200};
    AddEntry(0x1f4, 0x100, exe);
    Fake.entries[0x200] = Named(L"WinXPSp3");
    ApphelpApi.SdbFindNextTag = NextTagThatNeverEnds;
    SdbQueryResult456 record = {};
    record.exeCount = 1;
    record.exeTagRefs[0] = 0x1f4;
    const std::wstring text = Print(record);
    // The walk of the nested layers stops after 4096 of them.
    size_t lines = 0;
    for (size_t at = text.find(L"\r\n  - WinXPSp3"); at != std::wstring::npos;
         at = text.find(L"\r\n  - WinXPSp3", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(4096u, lines);
    EXPECT_EQ(0u, text.find(L"EXE: (0x1f4) setup.exe\r\n  - WinXPSp3\r\n"));
}

} // namespace
