// Tests of the matcher: conditions, bounds, indexes, custom databases and layers.
#include "matcher.h"
#include "tag_ref.h"
#include "test_database.h"

#include "sdb_index.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const std::u16string AppFolder = u"C:\\App\\";

// Attributes of the files of one imagined folder, by name relative to it ("*" is the
// executable).
struct Folder : MatchWorld {
    std::map<std::u16string, FileAttributes> files;
    FileState Attributes(const std::u16string& path, const FileAttributes** attributes) override {
        if (path.compare(0, AppFolder.size(), AppFolder) != 0)
            return FileState::Missing;
        auto found = files.find(path.substr(AppFolder.size()));
        if (found == files.end())
            return FileState::Missing;
        *attributes = &found->second;
        return FileState::Present;
    }
};

FileAttributes AppAttributes() {
    FileAttributes a;
    a.numbers[sdb::TAG_SIZE] = 4096;
    a.numbers[sdb::TAG_BIN_FILE_VERSION] = 0x0002000500000001ull; // 2.5.0.1
    a.numbers[sdb::TAG_LINK_DATE] = 1000;
    a.strings[sdb::TAG_COMPANY_NAME] = u"Northwind Graphics";
    return a;
}

void WriteAppConditions(sdb::Writer& w) {
    sdb::write_dword(w, sdb::TAG_SIZE, 4096);
    sdb::write_string(w, sdb::TAG_COMPANY_NAME, u"NORTHWIND graphics");
    sdb::write_qword(w, sdb::TAG_BIN_FILE_VERSION, 0x0002000500000001ull);
}

void WriteAppConditionsFile(sdb::Writer& w) {
    WriteMatchingFile(w, u"*", WriteAppConditions);
}

struct Fixture : ::testing::Test {
    Folder folder;
    QueryRecord record = EmptyQueryRecord();
    void SetUp() override { folder.files[u"*"] = AppAttributes(); }

    bool Match(const std::vector<MatcherDatabase>& databases, MatchRequest request) {
        record = EmptyQueryRecord();
        auto program = folder.files.find(u"*");
        request.program.attributes = program == folder.files.end() ? nullptr : &program->second;
        return MatchEntries(databases, request, folder, record);
    }
    bool MatchOne(const sdb::Database& db, const std::u16string& name = u"cadwriter.exe") {
        MatchRequest request;
        request.program.path = AppFolder + name;
        return Match({MatcherDatabase{&db, 0, true}}, request);
    }
};

typedef Fixture Matcher;

TEST_F(Matcher, MatchesByNameAndEveryCondition) {
    sdb::TAGID exe = 0, layer = 0;
    sdb::DatabasePtr db = BuildDatabase(TestGuid(1), true, [&](sdb::Writer& w) {
        layer = WriteLayer(w, u"WinXPSp3");
        exe = WriteExe(w, u"CadWriter.EXE", [&](sdb::Writer& w) {
            WriteMatchingFile(w, u"*", WriteAppConditions);
            WriteNestedLayer(w, u"winxpsp3");
            sdb::write_dword(w, sdb::TAG_FLAGS, 0x20);
            sdb::TAGID apphelp = sdb::begin_list(w, sdb::TAG_APPHELP);
            sdb::write_dword(w, sdb::TAG_HTMLHELPID, 7);
            sdb::end_list(w, apphelp);
        });
    });
    ASSERT_TRUE(db);
    ASSERT_TRUE(MatchOne(*db));
    EXPECT_EQ(record.exeCount, 1u);
    EXPECT_EQ(record.exeTagRefs[0], exe);
    EXPECT_EQ(record.exeFlags[0], 0x20u);
    EXPECT_EQ(record.layerCount, 1u);
    EXPECT_EQ(record.layerTagRefs[0], layer); // the database-level layer, not the nested one
    EXPECT_EQ(record.apphelpTagRef, sdb::find_first_tag(*db, exe, sdb::TAG_APPHELP));
    EXPECT_EQ(record.customDbMap, 1u);
    EXPECT_EQ(record.databaseIds[0][0], 1);
    EXPECT_EQ(record.flags, 0u);

    EXPECT_FALSE(MatchOne(*db, u"other.exe"));
    folder.files[u"*"].strings[sdb::TAG_COMPANY_NAME] = u"Someone Else";
    EXPECT_FALSE(MatchOne(*db));
    folder.files[u"*"] = AppAttributes();
    folder.files[u"*"].numbers.erase(sdb::TAG_SIZE); // an attribute the file lacks
    EXPECT_FALSE(MatchOne(*db));
}

TEST_F(Matcher, BoundsAreInclusiveAndMissingFilesFail) {
    sdb::DatabasePtr db = BuildDatabase(TestGuid(1), false, [&](sdb::Writer& w) {
        WriteExe(w, u"cadwriter.exe", [&](sdb::Writer& w) {
            WriteMatchingFile(w, u"*", [](sdb::Writer& w) {
                sdb::write_qword(w, sdb::TAG_UPTO_BIN_FILE_VERSION, 0x0002000500000001ull);
                sdb::write_dword(w, sdb::TAG_FROM_LINK_DATE, 1000);
            });
            WriteMatchingFile(w, u"data\\readme.txt", [](sdb::Writer&) {});
        });
    });
    EXPECT_FALSE(MatchOne(*db)); // the sibling file is missing
    folder.files[u"data\\readme.txt"] = FileAttributes();
    EXPECT_TRUE(MatchOne(*db));
    folder.files[u"*"].numbers[sdb::TAG_BIN_FILE_VERSION] += 1;
    EXPECT_FALSE(MatchOne(*db));
    folder.files[u"*"] = AppAttributes();
    folder.files[u"*"].numbers[sdb::TAG_LINK_DATE] = 999;
    EXPECT_FALSE(MatchOne(*db));
}

// MATCH_LOGIC_NOT inverts its own file only: a sibling that is missing or fails a condition
// holds, one that meets them all fails the entry.
TEST_F(Matcher, LogicNotInvertsItsFileOnly) {
    sdb::DatabasePtr db = BuildDatabase(TestGuid(1), false, [&](sdb::Writer& w) {
        WriteExe(w, u"cadwriter.exe", [&](sdb::Writer& w) {
            WriteAppConditionsFile(w);
            WriteMatchingFile(w, u"helper.dat", [](sdb::Writer& w) {
                sdb::write_null(w, sdb::TAG_MATCH_LOGIC_NOT);
                sdb::write_dword(w, sdb::TAG_SIZE, 5);
                sdb::write_dword(w, sdb::TAG_CHECKSUM, 7);
            });
        });
    });
    EXPECT_TRUE(MatchOne(*db)); // no helper.dat
    FileAttributes helper;
    helper.numbers[sdb::TAG_SIZE] = 4;
    helper.numbers[sdb::TAG_CHECKSUM] = 7;
    folder.files[u"helper.dat"] = helper; // one condition fails
    EXPECT_TRUE(MatchOne(*db));
    folder.files[u"helper.dat"].numbers[sdb::TAG_SIZE] = 5; // every condition holds
    EXPECT_FALSE(MatchOne(*db));
    folder.files.erase(u"helper.dat");
    folder.files[u"*"].numbers[sdb::TAG_SIZE] = 1; // the program's own file is not inverted
    EXPECT_FALSE(MatchOne(*db));
}

// The index finds every entry of a name among many, and wildcard entries too; an
// unindexed copy of the same database gives the same answer.
TEST_F(Matcher, FindsAllEntriesOfANameWithOrWithoutIndex) {
    for (bool indexed : {true, false}) {
        std::vector<sdb::TAGID> wanted;
        sdb::DatabasePtr db = BuildDatabase(TestGuid(1), indexed, [&](sdb::Writer& w) {
            for (int i = 0; i < 500; ++i) {
                std::u16string name = u"app" + std::u16string(1, char16_t(u'a' + i % 26)) +
                                      std::u16string(1, char16_t(u'a' + i / 26)) + u".exe";
                WriteExe(w, name, [](sdb::Writer&) {});
            }
            wanted.push_back(WriteExe(w, u"cadwriter.exe", WriteAppConditionsFile));
            WriteExe(w, u"cadwriter.exe", [](sdb::Writer& w) {
                WriteMatchingFile(w, u"*",
                                  [](sdb::Writer& w) { sdb::write_dword(w, sdb::TAG_SIZE, 1); });
            });
            wanted.push_back(WriteExe(w, u"cadwriter.exe", [](sdb::Writer&) {}));
            // A `*` entry is a wildcard one: looked up before the exact names.
            wanted.insert(wanted.begin(), WriteExe(w, u"*", WriteAppConditionsFile));
        });
        ASSERT_TRUE(db);
        ASSERT_TRUE(MatchOne(*db)) << indexed;
        ASSERT_EQ(record.exeCount, wanted.size()) << indexed;
        for (std::size_t i = 0; i < wanted.size(); ++i)
            EXPECT_EQ(record.exeTagRefs[i], wanted[i]) << indexed;
    }
}

// Wildcard entries of a real database's layout (their own index, none in EXE/NAME) match
// the names their patterns fit, before the exact ones as Windows logs its search; without
// that index, by a scan.
TEST_F(Matcher, WildcardEntriesMatchThroughTheirIndexOrAScan) {
    for (bool wildcardIndex : {true, false}) {
        std::vector<sdb::TAGID> wanted;
        sdb::TAGID exact = 0;
        sdb::DatabasePtr db = BuildDatabase(
            TestGuid(1), true,
            [&](sdb::Writer& w) {
                wanted.push_back(WriteWildcardExe(w, u"CAD*.EXE", WriteAppConditionsFile));
                WriteWildcardExe(w, u"cad*.dll", WriteAppConditionsFile);
                wanted.push_back(WriteWildcardExe(w, u"c?dwriter.exe", WriteAppConditionsFile));
                WriteWildcardExe(w, u"?cadwriter.exe", WriteAppConditionsFile);
                WriteWildcardExe(w, u"*writer.exe", [](sdb::Writer& w) {
                    WriteMatchingFile(
                        w, u"*", [](sdb::Writer& w) { sdb::write_dword(w, sdb::TAG_SIZE, 1); });
                });
                exact = WriteExe(w, u"cadwriter.exe", WriteAppConditionsFile);
            },
            wildcardIndex);
        ASSERT_TRUE(db);
        ASSERT_TRUE(MatchOne(*db, u"CadWriter.exe")) << wildcardIndex;
        ASSERT_EQ(record.exeCount, 3u) << wildcardIndex;
        EXPECT_EQ(record.exeTagRefs[0], wanted[0]) << wildcardIndex;
        EXPECT_EQ(record.exeTagRefs[1], wanted[1]) << wildcardIndex;
        EXPECT_EQ(record.exeTagRefs[2], exact) << wildcardIndex;
        ASSERT_TRUE(MatchOne(*db, u"cad.exe")) << wildcardIndex;
        EXPECT_EQ(record.exeCount, 1u) << wildcardIndex;
        EXPECT_FALSE(MatchOne(*db, u"cad.com")) << wildcardIndex;
    }
}

TEST_F(Matcher, CustomDatabasesCountOnlyWhenConsulted) {
    sdb::TAGID mainLayer = 0, customExe = 0;
    sdb::DatabasePtr main = BuildDatabase(TestGuid(0x11), true, [&](sdb::Writer& w) {
        mainLayer = WriteLayer(w, u"RunAsInvoker");
        WriteExe(w, u"ledger.exe", [](sdb::Writer&) {});
    });
    sdb::DatabasePtr custom = BuildDatabase(TestGuid(0x22), false, [&](sdb::Writer& w) {
        customExe = WriteExe(w, u"ledger.exe", [](sdb::Writer& w) {
            WriteNestedLayer(w, u"RunAsInvoker"); // defined in the main database only
        });
    });
    MatchRequest request;
    request.program.path = AppFolder + u"ledger.exe";
    ASSERT_TRUE(Match({{main.get(), 0, true}, {custom.get(), 1, false}}, request));
    EXPECT_EQ(record.exeCount, 1u);
    EXPECT_EQ(record.customDbMap, 1u);

    ASSERT_TRUE(Match({{main.get(), 0, true}, {custom.get(), 1, true}}, request));
    ASSERT_EQ(record.exeCount, 2u);
    EXPECT_EQ(record.exeTagRefs[1], MakeTagRef(1, customExe));
    ASSERT_EQ(record.layerCount, 1u);
    EXPECT_EQ(record.layerTagRefs[0], MakeTagRef(0, mainLayer));
    EXPECT_EQ(record.customDbMap, 3u);
    EXPECT_EQ(record.databaseIds[0][0], 0x11);
    EXPECT_EQ(record.databaseIds[1][0], 0x22);
    EXPECT_EQ(record.databaseIds[2][0], 0);
}

TEST_F(Matcher, RequestedLayersAreAddedByNameAndMarked) {
    sdb::TAGID xp = 0, admin = 0;
    sdb::DatabasePtr db = BuildDatabase(TestGuid(1), true, [&](sdb::Writer& w) {
        xp = WriteLayer(w, u"WinXPSp3");
        admin = WriteLayer(w, u"RunAsAdmin");
        for (int i = 0; i < 10; ++i)
            WriteLayer(w, u"Layer" + std::u16string(1, char16_t(u'0' + i)));
    });
    MatchRequest request;
    request.program.path = AppFolder + u"nothing.exe";
    request.storedLayers = {u"winxpsp3", u"NoSuchLayer"};
    ASSERT_TRUE(Match({{db.get(), 0, true}}, request));
    EXPECT_EQ(record.layerCount, 1u);
    EXPECT_EQ(record.layerTagRefs[0], xp);
    EXPECT_EQ(record.flags, 0u);

    request.environmentLayers = {u"WinXPSp3"}; // already there: contributes nothing
    ASSERT_TRUE(Match({{db.get(), 0, true}}, request));
    EXPECT_EQ(record.flags, 0u);
    request.environmentLayers = {u"RUNASADMIN"};
    ASSERT_TRUE(Match({{db.get(), 0, true}}, request));
    EXPECT_EQ(record.layerTagRefs[1], admin);
    EXPECT_EQ(record.flags, ResultFlagEnvironmentLayers);

    request.storedLayers.clear();
    for (int i = 0; i < 10; ++i)
        request.storedLayers.push_back(u"Layer" + std::u16string(1, char16_t(u'0' + i)));
    ASSERT_TRUE(Match({{db.get(), 0, true}}, request));
    EXPECT_EQ(record.layerCount, MaxLayers);
    EXPECT_EQ(record.flags, 0u); // no room left for the environment's layer

    request.storedLayers.clear();
    request.environmentLayers.clear();
    EXPECT_FALSE(Match({{db.get(), 0, true}}, request));
    EXPECT_EQ(record.customDbMap, 0u);
}

} // namespace
