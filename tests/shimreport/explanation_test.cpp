// Tests of the explanation: missing engine entries, the evaluator's lines and stored layers.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../../sdb/sdb_tags.h"
#include "../../shimreport/explain_match.h"
#include "../../shimreport/explanation_text.h"
#include "../../shimreport/match_executable.h"
#include "fake_shim_engine.h"

namespace {

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
              L"apphelp.dll: SdbReadDWORDTag not available\r\n"
              L"apphelp.dll: SdbGetFileAttributes not available\r\n"
              L"apphelp.dll: SdbFreeFileAttributes not available\r\n"
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
DWORD WINAPI FallbackDword(PDB, TAGID, DWORD fallback) {
    return fallback;
}

// A reference the engine cannot resolve says so in its line; the entry beside it is explained
// as far as the engine's entries go, each missing one said once.
TEST(Explanation, ReferencesTheEngineCannotResolveAreSaidSo) {
    InstallFakeEngine();
    ApphelpApi.SdbGetFirstChild = NoChild;
    ApphelpApi.SdbGetNextChild = NoNextChild;
    ApphelpApi.SdbGetTagFromTagID = NoTag;
    ApphelpApi.SdbReadDWORDTag = FallbackDword;
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
              L"apphelp.dll: SdbGetTagDataSize not available\r\n"
              L"apphelp.dll: SdbGetBinaryTagData not available\r\n"
              L"EXE: (0x3e8) setup.exe\r\n"
              L"  database: unknown unknown (apphelp.dll: SdbGetAppPatchDir not available)\r\n"
              L"  NAME: setup.exe\r\n"
              L"  APP_NAME: none\r\n"
              L"  VENDOR: none\r\n"
              L"  engine: matched\r\n"
              L"  evaluator: not run: the database file is not known\r\n"
              L"EXE: (0x7777) the engine cannot resolve it\r\n",
              block.str());
}

ExplainedValue Value(ExplainedValueKind kind, ULONGLONG number, const wchar_t* text = L"") {
    return ExplainedValue{kind, number, text};
}

ExplainedCondition Condition(TAG tag, const char* name, const char* verdict, const char* rule,
                             const char* evidence) {
    ExplainedCondition condition;
    condition.tag = tag;
    condition.tagName = name;
    condition.verdict = verdict;
    condition.rule = ExplainedRule{rule, evidence};
    condition.wanted = Value(ExplainedValueKind::Absent, 0);
    condition.actual = Value(ExplainedValueKind::Absent, 0);
    condition.negated = false;
    condition.wow64View = false;
    return condition;
}

ExplainedExe EvaluatedExe() {
    ExplainedExe exe;
    exe.entry = MakeMatchLine(MatchLineKind::Exe).entry;
    exe.entry.resolved = true;
    exe.entry.tagRef = 0x2d0;
    exe.entry.name.named = true;
    exe.entry.name.name = L"setup.exe";
    exe.databaseId = EngineText{true, L"{1}"};
    exe.databasePath = EngineText{true, L"C:\\db.sdb"};
    exe.name = EngineText{true, L"setup.exe"};
    exe.appName = EngineText{false, L""};
    exe.vendor = EngineText{false, L""};
    exe.wildcard = false;
    exe.hasFlags = false;
    exe.flags = 0;
    ExplainedEvaluation& evaluation = exe.evaluation;
    evaluation.evaluated = true;
    evaluation.countsAsMatch = true;
    evaluation.nameFits = true;
    evaluation.fileName = L"setup.exe";
    evaluation.verdict = "matched-if";
    evaluation.assumes = {"from-at-least", "not-missing-file"};
    evaluation.hasMatchMode = false;
    evaluation.matchMode = 0;
    ExplainedCondition name =
        Condition(sdb::TAG_NAME, "NAME", "holds", "name-without-case", "checked-on-windows");
    name.wanted = Value(ExplainedValueKind::String, 0, L"setup.exe");
    name.actual = name.wanted;
    ExplainedCondition file = Condition(sdb::TAG_MATCHING_FILE, "MATCHING_FILE", "holds",
                                        "program-itself", "seen-in-real-databases");
    file.wanted = Value(ExplainedValueKind::String, 0, L"*");
    file.actual = Value(ExplainedValueKind::String, 0, L"C:\\apps\\setup.exe");
    file.path = L"C:\\apps\\setup.exe";
    ExplainedCondition version = Condition(sdb::TAG_FROM_BIN_FILE_VERSION, "FROM_BIN_FILE_VERSION",
                                           "holds", "from-at-least", "unconfirmed");
    version.assumes = {"from-at-least"};
    version.wanted = Value(ExplainedValueKind::Version, 0x0002000500000000ULL, L"2.5.0.0");
    version.actual = Value(ExplainedValueKind::Version, 0x0002000500000001ULL, L"2.5.0.1");
    ExplainedCondition size =
        Condition(sdb::TAG_SIZE, "SIZE", "holds", "exact", "checked-on-windows");
    size.wanted = Value(ExplainedValueKind::Number, 0x189AE);
    size.actual = size.wanted;
    file.children = {version, size};
    ExplainedCondition absent = Condition(sdb::TAG_MATCHING_FILE, "MATCHING_FILE", "holds",
                                          "logic-not", "seen-in-real-databases");
    absent.negated = true;
    absent.assumes = {"not-missing-file"};
    absent.wanted = Value(ExplainedValueKind::String, 0, L"%windir%\\a.dll");
    absent.path = L"C:\\windows\\SysWOW64\\a.dll";
    absent.wow64View = true;
    evaluation.conditions = {name, file, absent};
    return exe;
}

// The engine's decision, the evaluator's verdict with what it assumes, and every condition
// nested as the evaluator nests them, each with its rule and that rule's evidence.
TEST(Explanation, EvaluatorVerdictsFollowTheEnginesDecision) {
    Explanation explanation;
    explanation.exes.push_back(EvaluatedExe());
    ExplainedEvaluation& evaluation = explanation.exes[0].evaluation;
    evaluation.hasMatchMode = true; // its effect is not known, so it is shown, not applied
    evaluation.matchMode = 2;
    evaluation.matchModeEvidence = "unconfirmed";
    ReportStream block;
    WriteExplanation(explanation, block);
    EXPECT_EQ(L"Explanation:\r\n"
              L"EXE: (0x2d0) setup.exe\r\n"
              L"  database: {1} C:\\db.sdb\r\n"
              L"  NAME: setup.exe\r\n"
              L"  APP_NAME: none\r\n"
              L"  VENDOR: none\r\n"
              L"  engine: matched\r\n"
              L"  evaluator: matched-if, assumes: from-at-least, not-missing-file\r\n"
              L"  MATCH_MODE: 2 (effect unconfirmed)\r\n"
              L"  holds: NAME wanted \"setup.exe\", actual \"setup.exe\" [name-without-case, "
              L"checked-on-windows]\r\n"
              L"  holds: MATCHING_FILE wanted \"*\", actual \"C:\\apps\\setup.exe\", path "
              L"C:\\apps\\setup.exe [program-itself, seen-in-real-databases]\r\n"
              L"    holds: FROM_BIN_FILE_VERSION wanted 2.5.0.0 (0x2000500000000), actual 2.5.0.1 "
              L"(0x2000500000001) [from-at-least, unconfirmed; assumes from-at-least]\r\n"
              L"    holds: SIZE wanted 0x189AE, actual 0x189AE [exact, checked-on-windows]\r\n"
              L"  holds: MATCHING_FILE MATCH_LOGIC_NOT wanted \"%windir%\\a.dll\", actual none, "
              L"path C:\\windows\\SysWOW64\\a.dll (32-bit view) [logic-not, "
              L"seen-in-real-databases; assumes not-missing-file]\r\n",
              block.str());
}

// Where the evaluator would not have matched the entry, a line says so and names the rules
// that decided it; a name that does not fit the file is said too.
TEST(Explanation, DisagreementsAreSaidWithTheDecidingRules) {
    ExplainedExe exe = EvaluatedExe();
    exe.evaluation.countsAsMatch = false;
    exe.evaluation.verdict = "not-matched";
    exe.evaluation.assumes = {"dest-os"};
    exe.evaluation.decidedBy = {ExplainedRule{"dest-os", "unconfirmed"},
                                ExplainedRule{"exact", "checked-on-windows"}};
    exe.evaluation.conditions.clear();
    ExplainedExe unknown = EvaluatedExe();
    unknown.evaluation.countsAsMatch = false;
    unknown.evaluation.nameFits = false;
    unknown.evaluation.verdict = "unknown";
    unknown.evaluation.assumes.clear();
    unknown.evaluation.decidedBy = {ExplainedRule{"no-such-attribute", "unconfirmed"}};
    unknown.evaluation.conditions.clear();
    ExplainedExe unread = EvaluatedExe();
    unread.evaluation.evaluated = false;
    unread.evaluation.problem = L"the database file does not agree with the engine: 0x2D0 is an "
                                L"EXE named other.exe";
    Explanation explanation;
    explanation.exes = {exe, unknown, unread};
    ReportStream block;
    WriteExplanation(explanation, block);
    const std::wstring header = L"EXE: (0x2d0) setup.exe\r\n"
                                L"  database: {1} C:\\db.sdb\r\n"
                                L"  NAME: setup.exe\r\n"
                                L"  APP_NAME: none\r\n"
                                L"  VENDOR: none\r\n"
                                L"  engine: matched\r\n";
    EXPECT_EQ(L"Explanation:\r\n" + header +
                  L"  evaluator: not-matched, assumes: dest-os\r\n"
                  L"  disagrees: the engine matched this entry, the evaluator says not-matched "
                  L"(decided by unconfirmed rule dest-os, checked-on-windows rule exact)\r\n" +
                  header +
                  L"  evaluator: unknown\r\n"
                  L"  disagrees: the engine matched this entry, but its name does not fit the "
                  L"file name setup.exe\r\n"
                  L"  disagrees: the engine matched this entry, the evaluator says unknown "
                  L"(decided by unconfirmed rule no-such-attribute)\r\n" +
                  header +
                  L"  evaluator: not run: the database file does not agree with the engine: "
                  L"0x2D0 is an EXE named other.exe\r\n",
              block.str());
    EXPECT_TRUE(exe.evaluation.Disagrees());
    EXPECT_TRUE(unknown.evaluation.Disagrees());
    EXPECT_FALSE(unread.evaluation.Disagrees());
    EXPECT_FALSE(EvaluatedExe().evaluation.Disagrees());
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
