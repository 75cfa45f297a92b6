// Tests of the explanation: condition verdicts, missing engine entries and stored layers.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../sdb/sdb_tags.h"
#include "../../shimreport/condition_verdict.h"
#include "../../shimreport/explain_match.h"
#include "../../shimreport/explanation_text.h"
#include "../../shimreport/match_executable.h"
#include "fake_shim_engine.h"

namespace {

ATTRINFO Number(TAG tag, ULONGLONG value) {
    ATTRINFO attribute;
    attribute.tAttrID = tag;
    attribute.dwFlags = AttributeAvailable;
    attribute.ullAttr = value;
    return attribute;
}

ATTRINFO Text(TAG tag, const wchar_t* value) {
    ATTRINFO attribute = Number(tag, 0);
    attribute.lpAttr = const_cast<WCHAR*>(value);
    return attribute;
}

TEST(ConditionVerdicts, NumbersTextsAndBoundsAreComparedAsTheEngineMatches) {
    // An engine that writes only the DWORD member leaves the upper half as it was.
    ATTRINFO dwordOnly = Number(sdb::TAG_SIZE, 0xDEADBEEF00000000ULL);
    dwordOnly.dwAttr = 4096;
    ATTRINFO unavailable = Number(sdb::TAG_SIZE, 4096);
    unavailable.dwFlags = 0;
    const ATTRINFO version = Number(sdb::TAG_BIN_FILE_VERSION, 0x0002000500000001ULL);
    const ATTRINFO company = Text(sdb::TAG_COMPANY_NAME, L"Northwind Graphics");
    const ATTRINFO wrongType =
        Number(TAG((sdb::TAG_COMPANY_NAME & 0x0FFF) | sdb::TAG_TYPE_BINARY), 0);
    const struct {
        TAG condition;
        ULONGLONG number;
        const wchar_t* text;
        const ATTRINFO* attribute;
        ConditionVerdict verdict;
    } cases[] = {
        {sdb::TAG_SIZE, 4096, L"", &dwordOnly, ConditionVerdict::Holds},
        {sdb::TAG_SIZE, 4095, L"", &dwordOnly, ConditionVerdict::Fails},
        {sdb::TAG_SIZE, 4096, L"", &unavailable, ConditionVerdict::NoAttribute},
        {sdb::TAG_SIZE, 4096, L"", nullptr, ConditionVerdict::NoAttribute},
        {sdb::TAG_BIN_FILE_VERSION, 0x0002000500000001ULL, L"", &version, ConditionVerdict::Holds},
        {sdb::TAG_UPTO_BIN_FILE_VERSION, 0x0002000500000001ULL, L"", &version,
         ConditionVerdict::Holds},
        {sdb::TAG_UPTO_BIN_FILE_VERSION, 0x0002000500000000ULL, L"", &version,
         ConditionVerdict::Fails},
        {sdb::TAG_FROM_BIN_FILE_VERSION, 0x0002000500000001ULL, L"", &version,
         ConditionVerdict::Holds},
        {sdb::TAG_FROM_BIN_FILE_VERSION, 0x0002000500000002ULL, L"", &version,
         ConditionVerdict::Fails},
        {sdb::TAG_COMPANY_NAME, 0, L"NORTHWIND graphics", &company, ConditionVerdict::Holds},
        {sdb::TAG_COMPANY_NAME, 0, L"Northwind", &company, ConditionVerdict::Fails},
        {sdb::TAG_COMPANY_NAME, 0, L"Northwind Graphics Inc", &company, ConditionVerdict::Fails},
        {sdb::TAG_COMPANY_NAME, 0, L"Northwind Graphics", &wrongType,
         ConditionVerdict::UnknownType},
        {sdb::TAG_MATCH_LOGIC_NOT, 0, L"", nullptr, ConditionVerdict::UnknownType},
    };
    for (const auto& c : cases) {
        const ConditionValue wanted = {c.number, c.text};
        EXPECT_EQ(c.verdict, JudgeCondition(c.condition, wanted, c.attribute))
            << std::hex << c.condition << " " << c.number;
    }
    EXPECT_EQ(sdb::TAG_LINK_DATE, AttributeTagOf(sdb::TAG_UPTO_LINK_DATE));
    EXPECT_EQ(sdb::TAG_BIN_PRODUCT_VERSION, AttributeTagOf(sdb::TAG_FROM_BIN_PRODUCT_VERSION));
    EXPECT_EQ(sdb::TAG_SIZE, AttributeTagOf(sdb::TAG_SIZE));
}

// An engine with only the entries the report needs: the explanation says what it lacks, one
// line each, and the report is written as without it.
TEST(Explanation, MissingEngineEntriesGiveOneLineEachAndTheReportGoesOn) {
    InstallFakeEngine();
    FakeEntry entry;
    entry.name = L"setup.exe";
    AddEntry(0x3e8, 0x10, entry);
    SdbQueryResult456 record = {};
    record.exeCount = 1;
    record.exeTagRefs[0] = 0x3e8;
    WriteRecord(record);
    Explanation explanation;
    ReportStream report;
    WriteMatchReport(MatchExecutableLines(L"C:\\apps\\setup.exe", &explanation), report);
    EXPECT_EQ(L"EXE: (0x3e8) setup.exe\r\n", report.str());
    ReportStream block;
    WriteExplanation(explanation, block);
    EXPECT_EQ(L"Explanation:\r\n"
              L"apphelp.dll: SdbGetFirstChild not available\r\n"
              L"apphelp.dll: SdbGetNextChild not available\r\n"
              L"apphelp.dll: SdbGetTagFromTagID not available\r\n"
              L"apphelp.dll: SdbReadWORDTag not available\r\n"
              L"apphelp.dll: SdbReadDWORDTag not available\r\n"
              L"apphelp.dll: SdbReadQWORDTag not available\r\n"
              L"apphelp.dll: SdbTagToString not available\r\n"
              L"apphelp.dll: SdbGetFileAttributes not available\r\n"
              L"apphelp.dll: SdbFreeFileAttributes not available\r\n"
              L"apphelp.dll: SdbFormatAttribute not available\r\n"
              L"apphelp.dll: SdbGetTagDataSize not available\r\n"
              L"apphelp.dll: SdbGetBinaryTagData not available\r\n",
              block.str());
    EXPECT_EQ(1, Fake.releaseCalls); // the context outlived the explanation, then went
}

// The entries the fake engine lacks, answering as an engine with an empty database would.
TAGID WINAPI NoChild(PDB, TAGID) {
    return 0;
}
TAGID WINAPI NoNextChild(PDB, TAGID, TAGID) {
    return 0;
}
TAG WINAPI NoTag(PDB, TAGID) {
    return 0;
}
WORD WINAPI FallbackWord(PDB, TAGID, WORD fallback) {
    return fallback;
}
DWORD WINAPI FallbackDword(PDB, TAGID, DWORD fallback) {
    return fallback;
}
ULONGLONG WINAPI FallbackQword(PDB, TAGID, ULONGLONG fallback) {
    return fallback;
}
LPCWSTR WINAPI TagText(TAG) {
    return L"TAG";
}

// A reference the engine cannot resolve says so in its line; the entry beside it is explained
// as far as the engine's entries go, each missing one said once.
TEST(Explanation, ReferencesTheEngineCannotResolveAreSaidSo) {
    InstallFakeEngine();
    ApphelpApi.SdbGetFirstChild = NoChild;
    ApphelpApi.SdbGetNextChild = NoNextChild;
    ApphelpApi.SdbGetTagFromTagID = NoTag;
    ApphelpApi.SdbReadWORDTag = FallbackWord;
    ApphelpApi.SdbReadDWORDTag = FallbackDword;
    ApphelpApi.SdbReadQWORDTag = FallbackQword;
    ApphelpApi.SdbTagToString = TagText;
    FakeEntry entry;
    entry.name = L"setup.exe";
    AddEntry(0x3e8, 0x10, entry);
    SdbQueryResult456 record = {};
    record.exeCount = 2;
    record.exeTagRefs[0] = 0x3e8;
    record.exeTagRefs[1] = 0x7777;
    WriteRecord(record);
    Explanation explanation;
    ReportStream report;
    WriteMatchReport(MatchExecutableLines(L"C:\\apps\\setup.exe", &explanation), report);
    EXPECT_EQ(L"EXE: (0x3e8) setup.exe\r\nEXE: TagRefToTagID failed\r\n", report.str());
    ReportStream block;
    WriteExplanation(explanation, block);
    EXPECT_EQ(L"Explanation:\r\n"
              L"apphelp.dll: SdbGetFileAttributes not available\r\n"
              L"apphelp.dll: SdbFreeFileAttributes not available\r\n"
              L"apphelp.dll: SdbFormatAttribute not available\r\n"
              L"apphelp.dll: SdbGetTagDataSize not available\r\n"
              L"apphelp.dll: SdbGetBinaryTagData not available\r\n"
              L"EXE: (0x3e8) setup.exe\r\n"
              L"  database: unknown unknown (apphelp.dll: SdbGetAppPatchDir not available)\r\n"
              L"  NAME: setup.exe\r\n"
              L"  APP_NAME: none\r\n"
              L"  VENDOR: none\r\n"
              L"EXE: (0x7777) the engine cannot resolve it\r\n",
              block.str());
}

TEST(Explanation, StoredLayersAreMarkedOrAddedByNameWithoutTheirFlags) {
    Explanation explanation;
    ExplainedLayer matched;
    matched.entry = MakeMatchLine(MatchLineKind::Layer).entry;
    matched.entry.resolved = true;
    matched.entry.tagRef = 0x1dc;
    matched.entry.name.named = true;
    matched.entry.name.name = L"RunAsInvoker";
    matched.origin = LayerOrigin{true, false, false};
    explanation.layers.push_back(matched);
    AddStoredLayers(explanation, true, L"~ runasinvoker  Win7RTM", true, L"#!Win7RTM");
    ReportStream block;
    WriteExplanation(explanation, block);
    EXPECT_EQ(L"Explanation:\r\n"
              L"LAYER: (0x1dc) RunAsInvoker, matched, stored per user\r\n"
              L"LAYER: Win7RTM, stored per user, stored per machine: not among the matched "
              L"layers\r\n",
              block.str());
}

} // namespace
