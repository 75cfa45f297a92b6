// Tests of the candidate lookup: Windows' order, 16-bit entries, patterns against the
// plain wildcard match, names with folders.
#include "entry_evaluator.h"
#include "test_database.h"

#include "sdb_index.h"

#include <gtest/gtest.h>

namespace {

struct NoFiles : MatchWorld {
    FileState Attributes(const std::u16string&, const FileAttributes**) override {
        return FileState::Missing;
    }
};

std::vector<sdb::TAGID> Exes(const std::vector<sdb::ExeCandidate>& found) {
    std::vector<sdb::TAGID> exes;
    for (const sdb::ExeCandidate& candidate : found)
        exes.push_back(candidate.exe);
    return exes;
}

// Wildcard entries come first, then the exact name, then 16-bit entries of the module
// name, with or without indexes.
TEST(Lookup, WildcardThenNameThenModuleWithOrWithoutIndexes) {
    for (bool indexed : {false, true}) {
        sdb::TAGID exact = 0, any = 0, pattern = 0, module = 0, folder = 0;
        sdb::DatabasePtr db = BuildDatabase(
            TestGuid(1), indexed,
            [&](sdb::Writer& w) {
                exact = WriteExe(w, u"LedgerPro.exe", [](sdb::Writer&) {});
                module = WriteExe(w, u"LEDGER", [](sdb::Writer& w) {
                    sdb::write_string(w, sdb::TAG_16BIT_MODULE_NAME, u"LEDGER");
                });
                any = WriteWildcardExe(w, u"*", [](sdb::Writer&) {});
                pattern = WriteWildcardExe(w, u"ledger???.EXE", [](sdb::Writer&) {});
                WriteWildcardExe(w, u"*.dll", [](sdb::Writer&) {});
                folder = WriteExe(w, u"SETUP\\ledgerpro.exe", [](sdb::Writer&) {});
            },
            indexed);
        ASSERT_TRUE(db);
        sdb::ExeIndex index(*db);
        EXPECT_EQ(index.wildcard_index(), indexed);
        std::vector<sdb::ExeCandidate> found;
        index.find(u"ledgerpro.exe", u"ledger", &found);
        ASSERT_EQ(Exes(found), (std::vector<sdb::TAGID>{any, pattern, exact, folder, module}))
            << indexed;
        EXPECT_EQ(found[0].source, sdb::ExeSource::wildcard_name);
        EXPECT_EQ(found[2].source, sdb::ExeSource::name);
        EXPECT_EQ(found[4].source, sdb::ExeSource::module_name);

        ProgramFacts program;
        program.path = u"C:\\Apps\\ledgerpro.exe";
        SystemFacts system;
        NoFiles world;
        std::vector<EntryResult> results = EvaluateCandidates(index, program, system, world);
        ASSERT_EQ(results.size(), 4u); // no module name given: no 16-bit entry
        EXPECT_EQ(results[0].verdict, EntryVerdict::Matched);   // `*` alone, nothing else
        EXPECT_EQ(results[1].verdict, EntryVerdict::MatchedIf); // a pattern's semantics
        EXPECT_EQ(results[1].assumes, std::vector<Rule>{Rule::WildcardName});
        EXPECT_EQ(results[2].verdict, EntryVerdict::Matched);
        EXPECT_EQ(results[3].verdict, EntryVerdict::Unknown); // a name with a folder part
        EXPECT_EQ(results[3].conditions[0].rule, Rule::NameWithFolder);
    }
}

// The compiled patterns with their prefilter agree with the plain wildcard match.
TEST(Lookup, CompiledPatternsAgreeWithThePlainMatch) {
    const std::vector<std::u16string> patterns = {
        u"*",     u"*.EXE", u"setup??.exe", u"*instal*", u"*sd*setup*.exe", u"*._MP", u"M??*.exe",
        u"a*b*c", u"abc",   u"*a*a*a*b",    u"?",        u"**x**"};
    const std::vector<std::u16string> names = {
        u"setup.exe",  u"SETUP01.EXE", u"install.exe", u"mysdXsetupY.exe",
        u"file._mp",   u"Mxy.exe",     u"abc",         u"aXbXc",
        u"aaab",       u"aab",         u"x",           u"",
        u"\u00e9x.EXE"};
    sdb::DatabasePtr db = BuildDatabase(TestGuid(1), false, [&](sdb::Writer& w) {
        for (const std::u16string& pattern : patterns)
            WriteWildcardExe(w, pattern, [](sdb::Writer&) {});
    });
    ASSERT_TRUE(db);
    sdb::ExeIndex index(*db);
    ASSERT_EQ(index.wildcard_count(), patterns.size());
    for (const std::u16string& name : names) {
        std::vector<sdb::ExeCandidate> found;
        index.find(name.c_str(), nullptr, &found);
        std::size_t next = 0;
        for (sdb::TAGID exe = sdb::find_first_tag(*db, sdb::database_list(*db), sdb::TAG_EXE);
             exe != 0; exe = sdb::find_next_tag(*db, sdb::database_list(*db), exe)) {
            bool wanted = sdb::wildcard_match(sdb::exe_wildcard_pattern(*db, exe), name.c_str());
            bool got = next < found.size() && found[next].exe == exe;
            EXPECT_EQ(got, wanted) << std::string(name.begin(), name.end());
            next += got ? 1 : 0;
        }
    }
}

// The short cut for firm failures gives the verdicts of the full evaluation, and only
// skips entries that are not matched.
TEST(Lookup, SkippingFirmFailuresKeepsEveryVerdict) {
    auto file = [](std::function<void(sdb::Writer&)> conditions, bool negated) {
        return [=](sdb::Writer& w) {
            WriteMatchingFile(w, u"*", [&](sdb::Writer& w) {
                if (negated)
                    sdb::write_null(w, sdb::TAG_MATCH_LOGIC_NOT);
                conditions(w);
            });
        };
    };
    auto size = [](std::uint32_t value) {
        return [=](sdb::Writer& w) { sdb::write_dword(w, sdb::TAG_SIZE, value); };
    };
    auto company = [](const std::u16string& value) {
        return [=](sdb::Writer& w) { sdb::write_string(w, sdb::TAG_COMPANY_NAME, value); };
    };
    auto version = [](std::uint64_t value) {
        return [=](sdb::Writer& w) { sdb::write_qword(w, sdb::TAG_BIN_FILE_VERSION, value); };
    };
    sdb::DatabasePtr db = BuildDatabase(TestGuid(1), false, [&](sdb::Writer& w) {
        for (bool negated : {false, true}) {
            WriteExe(w, u"app.exe", file(size(10), negated));
            WriteExe(w, u"app.exe", file(size(11), negated));
            WriteExe(w, u"app.exe", file(company(u"ACME"), negated));
            WriteExe(w, u"app.exe", file(company(u"Other"), negated));
            WriteExe(w, u"app.exe", file(company(u"Ot*"), negated));
            WriteExe(w, u"app.exe", file(version(0x0001FFFFFFFFFFFFull), negated));
            WriteExe(w, u"app.exe", file(version(0x0002000000000000ull), negated));
            WriteExe(w, u"app.exe",
                     file(
                         [](sdb::Writer& w) {
                             sdb::write_dword(w, sdb::TAG_CHECKSUM, 5); // the file has none
                         },
                         negated));
        }
    });
    ASSERT_TRUE(db);
    sdb::ExeIndex index(*db);
    FileAttributes attributes;
    attributes.numbers[sdb::TAG_SIZE] = 10;
    attributes.numbers[sdb::TAG_BIN_FILE_VERSION] = 0x0001000200030004ull;
    attributes.strings[sdb::TAG_COMPANY_NAME] = u"acme";
    ProgramFacts program;
    program.path = u"C:\\app.exe";
    program.attributes = &attributes;
    SystemFacts system;
    NoFiles world;
    std::vector<EntryResult> full = EvaluateCandidates(index, program, system, world);
    std::vector<EntryResult> quick =
        EvaluateCandidates(index, program, system, world, CandidateDetail::SkipFirmFailures);
    ASSERT_EQ(full.size(), 16u);
    ASSERT_EQ(quick.size(), full.size());
    std::size_t skipped = 0;
    for (std::size_t i = 0; i < full.size(); ++i) {
        EXPECT_EQ(quick[i].verdict, full[i].verdict) << i;
        skipped += quick[i].conditions.empty() ? 1 : 0;
    }
    EXPECT_EQ(skipped, 3u); // SIZE 11, "Other", 2.0.0.0 without NOT
}

} // namespace
