// Tests of matching and unpacking: the engine's calls and the layout chosen.
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../shimreport/match_executable.h"
#include "../../shimreport/unpack_shim_data.h"
#include "fake_shim_engine.h"

namespace {

class MatchDecoding : public ::testing::Test {
protected:
    void SetUp() override { InstallFakeEngine(); }

    std::wstring Match(const std::wstring& path = L"C:\\apps\\setup.exe") {
        MatchExecutable(path, stream);
        return stream.str();
    }

    std::wstring Unpack(bool targetIs64Bit) {
        UnpackShimData(shimData, targetIs64Bit, stream);
        return stream.str();
    }

    ReportStream stream;
    const unsigned char shimData[8] = {1, 2, 3, 4, 5, 6, 7, 8};
};

// An unresolved first entry with a flag shows which form printed the record.
template <typename Record> Record RecordWithUnresolvedEntry() {
    Record record = {};
    record.exeCount = 1;
    record.exeTagRefs[0] = 0x00905A4D;
    return record;
}

const std::wstring UnknownFormatOfMz = L"Unknown format for SDBQUERYRESULT\r\n"
                                       L"0000 4d 5a 90 00 " +
                                       std::wstring(36, L' ') + L"MZ..\r\n\r\n";

TEST_F(MatchDecoding, MatchOpensX86DatabasesAndPassesOnlyThePath) {
    Fake.answer = FALSE;
    EXPECT_EQ(L"No match\r\n", Match(L"C:\\apps\\x64tool.exe"));
    EXPECT_EQ(1, Fake.initCalls);
    EXPECT_EQ(0u, Fake.initFlags);
    EXPECT_TRUE(Fake.initPathNull);
    EXPECT_EQ(0x14C, Fake.imageType);
    EXPECT_EQ(Fake.context, Fake.queryContext);
    EXPECT_EQ(L"C:\\apps\\x64tool.exe", Fake.queryPath);
    EXPECT_TRUE(Fake.queryExtrasNull);
    EXPECT_EQ(1, Fake.releaseCalls);
    EXPECT_EQ(Fake.context, Fake.releasedContext);
}

TEST_F(MatchDecoding, RecordOfEachLayoutGetsItsOwnForm) {
    SdbQueryResult456 record456 = RecordWithUnresolvedEntry<SdbQueryResult456>();
    record456.exeFlags[0] = 0x2;
    WriteRecord(record456);
    EXPECT_EQ(L"EXE: TagRefToTagID failed, with flags: DISABLE_APPHELP\r\n", Match());

    stream.str(L"");
    WriteRecord(RecordWithUnresolvedEntry<SdbQueryResult344>());
    EXPECT_EQ(L"EXE: TagRefToTagID failed\r\n", Match());
}

TEST_F(MatchDecoding, RecordOfNeitherLayoutIsDumped) {
    // The larger layout with a non-zero last byte.
    SdbQueryResult456 record = RecordWithUnresolvedEntry<SdbQueryResult456>();
    record.databaseIds[15].Data4[7] = 1;
    WriteRecord(record);
    EXPECT_EQ(UnknownFormatOfMz, Match());
    EXPECT_EQ(0, Fake.resolveCalls);

    // Longer than the larger layout.
    stream.str(L"");
    WriteRecord(RecordWithUnresolvedEntry<SdbQueryResult456>());
    Fake.written.push_back(0);
    EXPECT_EQ(UnknownFormatOfMz, Match());

    // Nothing written at all.
    stream.str(L"");
    Fake.written.clear();
    EXPECT_EQ(L"Unknown format for SDBQUERYRESULT\r\n0000 ab ab ab ab " + std::wstring(36, L' ') +
                  L"....\r\n\r\n",
              Match());
}

TEST_F(MatchDecoding, UnpackUsesTheTargetsImageTypeAndTheFixedName) {
    WriteRecord(RecordWithUnresolvedEntry<SdbQueryResult344>());
    EXPECT_EQ(L"EXE: TagRefToTagID failed\r\n", Unpack(true));
    EXPECT_EQ(0x8664, Fake.imageType);
    EXPECT_EQ(L"test", Fake.queryPath);
    EXPECT_EQ(static_cast<const void*>(shimData), Fake.unpackedData);
    EXPECT_EQ(1, Fake.releaseCalls);

    Unpack(false);
    EXPECT_EQ(0x14C, Fake.imageType);
}

TEST_F(MatchDecoding, FailedUnpackLeavesAnEmptyLine) {
    Fake.answer = FALSE;
    EXPECT_EQ(L"Unable to unpack AppCompatData\r\n\r\n", Unpack(false));
    EXPECT_EQ(1, Fake.releaseCalls);
}

TEST_F(MatchDecoding, NullContextIsReportedAndNeverUsed) {
    Fake.context = nullptr;
    EXPECT_EQ(L"SdbInitDatabaseEx failed\r\n", Match());
    EXPECT_EQ(L"SdbInitDatabaseEx failed\r\nSdbInitDatabaseEx failed\r\n", Unpack(false));
    EXPECT_EQ(0, Fake.queryCalls);
    EXPECT_EQ(0, Fake.releaseCalls);
}

TEST_F(MatchDecoding, MissingEntriesAreNamedInsteadOfCalled) {
    ApphelpApi.SdbGetMatchingExe = nullptr;
    EXPECT_EQ(L"apphelp.dll: SdbGetMatchingExe not available\r\n", Match());

    stream.str(L"");
    ApphelpApi.SdbUnpackAppCompatData = nullptr;
    EXPECT_EQ(L"apphelp.dll: SdbUnpackAppCompatData not available\r\n", Unpack(false));

    stream.str(L"");
    InstallFakeEngine();
    ApphelpApi.SdbInitDatabaseEx = nullptr;
    EXPECT_EQ(L"apphelp.dll: SdbInitDatabaseEx not available\r\n", Match());
    EXPECT_EQ(0, Fake.queryCalls);
}

TEST_F(MatchDecoding, ContextThatCannotBeReleasedIsNamedAndStillServes) {
    ApphelpApi.SdbReleaseDatabase = nullptr;
    Fake.answer = FALSE;
    EXPECT_EQ(L"apphelp.dll: SdbReleaseDatabase not available\r\nNo match\r\n", Match());

    stream.str(L"");
    EXPECT_EQ(L"apphelp.dll: SdbReleaseDatabase not available\r\n"
              L"Unable to unpack AppCompatData\r\n\r\n",
              Unpack(false));

    // No context, nothing to release: only the failure is told.
    stream.str(L"");
    Fake.context = nullptr;
    EXPECT_EQ(L"SdbInitDatabaseEx failed\r\n", Match());
}

TEST_F(MatchDecoding, ExceptionMidReportReleasesTheContextOnce) {
    SdbQueryResult456 record = {};
    record.exeCount = 2;
    WriteRecord(record);
    Fake.throwOnResolve = 1;
    EXPECT_THROW(Match(), std::bad_alloc);
    EXPECT_EQ(1, Fake.releaseCalls);
    EXPECT_EQ(0, Fake.closeCalls);
}

} // namespace
