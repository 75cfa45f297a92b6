// Index keys, the records the writer sorts, and lookups through an index or by scanning.
#include "sdb_exe_lookup.h"
#include "sdb_index.h"
#include "sdb_writer.h"

#include <gtest/gtest.h>

using namespace sdb;

namespace {

TEST(SdbStringKey, UpperCasedBytesFromTheMostSignificantDown) {
    EXPECT_EQ(string_key(u"iexplore.exe"), 0x494558504C4F5245ull);
    EXPECT_EQ(string_key(u"IExplore.EXE"), 0x494558504C4F5245ull);
    EXPECT_EQ(string_key(u"a.exe"), 0x412E455845000000ull);
    EXPECT_EQ(string_key(u""), 0u);
    EXPECT_EQ(string_key(nullptr), 0u);
    // Zero high bytes are skipped; non-zero ones follow their low byte.
    EXPECT_EQ(string_key(u"\u00e9x"), 0xC958000000000000ull);
    EXPECT_EQ(string_key(u"\u0436A"), 0x1604410000000000ull);
    // Only the first 8 bytes count.
    EXPECT_EQ(string_key(u"iexplore2.exe"), string_key(u"iexplore.exe"));
}

TEST(SdbStringKey, CaseFolding) {
    EXPECT_EQ(fold_upper(u'q'), u'Q');
    EXPECT_EQ(fold_upper(u'{'), u'{');
    EXPECT_EQ(fold_upper(u'\u00e4'), u'\u00c4');
    EXPECT_EQ(fold_upper(u'\u00f7'), u'\u00f7');
    EXPECT_EQ(fold_upper(u'\u00ff'), u'\u0178');
    EXPECT_EQ(fold_upper(u'\u0101'), u'\u0100');
    EXPECT_EQ(fold_upper(u'\u013a'), u'\u0139');
    EXPECT_EQ(fold_upper(u'\u0131'), u'\u0131');
    EXPECT_EQ(fold_upper(u'\u03c2'), u'\u03a3');
    EXPECT_EQ(fold_upper(u'\u0451'), u'\u0401');
    EXPECT_TRUE(equal_nocase(u"Setup.EXE", u"setup.exe"));
    EXPECT_FALSE(equal_nocase(u"setup.exe", u"setup.ex"));
    EXPECT_FALSE(equal_nocase(u"setup.ex", u"setup.exe"));
    EXPECT_FALSE(equal_nocase(nullptr, u""));
}

// Each folded range at both ends, and the units just outside it.
TEST(SdbStringKey, FoldsAtTheEndsOfEachRange) {
    const char16_t cases[][2] = {
        {u'a', u'A'},           {u'z', u'Z'},           {u'`', u'`'},
        {u'{', u'{'},           {u'\u00df', u'\u00df'}, {u'\u00e0', u'\u00c0'},
        {u'\u00fe', u'\u00de'}, {u'\u00f7', u'\u00f7'}, {u'\u00ff', u'\u0178'},
        {u'\u0100', u'\u0100'}, {u'\u0101', u'\u0100'}, {u'\u012f', u'\u012e'},
        {u'\u0130', u'\u0130'}, {u'\u0131', u'\u0131'}, {u'\u0133', u'\u0132'},
        {u'\u0137', u'\u0136'}, {u'\u0138', u'\u0138'}, {u'\u0139', u'\u0139'},
        {u'\u013a', u'\u0139'}, {u'\u0148', u'\u0147'}, {u'\u0149', u'\u0149'},
        {u'\u014b', u'\u014a'}, {u'\u0177', u'\u0176'}, {u'\u0178', u'\u0178'},
        {u'\u017a', u'\u0179'}, {u'\u017e', u'\u017d'}, {u'\u017f', u'\u017f'},
        {u'\u03b0', u'\u03b0'}, {u'\u03b1', u'\u0391'}, {u'\u03c9', u'\u03a9'},
        {u'\u03ca', u'\u03ca'}, {u'\u042f', u'\u042f'}, {u'\u0430', u'\u0410'},
        {u'\u044f', u'\u042f'}, {u'\u0450', u'\u0400'}, {u'\u045f', u'\u040f'},
        {u'\u0460', u'\u0460'},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fold_upper(c[0]), c[1]) << std::hex << unsigned{c[0]};
    }
}

TEST(SdbWildcard, StarAnyRunQuestionOneUnitWithoutCase) {
    struct Case {
        const char16_t* pattern;
        const char16_t* text;
        bool matches;
    };
    const Case cases[] = {
        {u"*", u"", true},
        {u"*", u"a", true},
        {u"", u"", true},
        {u"", u"a", false},
        {u"a", u"", false},
        {u"?", u"", false},
        {u"?", u"a", true},
        {u"?", u"ab", false},
        {u"**", u"", true},
        {u"*?", u"", false},
        {u"*?", u"x", true},
        {u"a*", u"a", true},
        {u"*a", u"ba", true},
        {u"*a", u"ab", false},
        {u"a*b*c", u"abc", true},
        {u"a*b*c", u"acb", false},
        {u"setup*.exe", u"SETUP.EXE", true},
        {u"setup*.exe", u"setup123.exe", true},
        {u"setup*.exe", u"setup.ex", false},
        {u"setup*.exe", u"xsetup.exe", false},
        {u"*.exe", u"a.exe.exe", true},
        {u"*.exe", u"a.exe.dll", false},
        {u"*sd*setup*.exe", u"mysdk_setup_v2.exe", true},
        {u"*sd*setup*.exe", u"setup.exe", false},
        {u"setup??.exe", u"setup12.exe", true},
        {u"setup??.exe", u"setup1.exe", false},
        {u"setup??.exe", u"setup123.exe", false},
        {u"M??*.exe", u"max.exe", true},
        {u"M??*.exe", u"mx.exe", false},
        {u"*._mp", u"FILE._MP", true},
        {u"\u00e9*", u"\u00c9t\u00e9", true},
        // A stored pattern given as the name matches itself.
        {u"setup*.exe", u"setup*.exe", true},
        {u"se?up.exe", u"se?up.exe", true},
        {u"se?up.exe", u"setup*.exe", false},
        {nullptr, u"a", false},
        {u"*", nullptr, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wildcard_match(c.pattern, c.text), c.matches)
            << (c.pattern ? std::u16string(c.pattern).size() : 0) << " "
            << (c.text ? std::u16string(c.text).size() : 0);
    }
}

struct Exe {
    const char16_t* name;
    TAGID tagid;
};

// A database of EXE entries (items of one key kept together) and SHIMs, with indexes
// when `capacity` is not zero.
DatabasePtr build(std::vector<Exe>& exes, uint32_t capacity, bool unique, TAGID* parent) {
    WriterPtr w = create_writer();
    if (capacity != 0) {
        EXPECT_TRUE(declare_index(*w, TAG_EXE, TAG_NAME, capacity, unique));
        EXPECT_TRUE(declare_index(*w, TAG_SHIM, TAG_NAME, 2, false));
    }
    *parent = begin_list(*w, TAG_DATABASE);
    TAGID library = begin_list(*w, TAG_LIBRARY);
    for (const char16_t* shim : {u"Shim2", u"shim1"}) {
        TAGID s = begin_list(*w, TAG_SHIM);
        write_string(*w, TAG_NAME, shim);
        end_list(*w, s);
    }
    end_list(*w, library);
    for (Exe& exe : exes) {
        exe.tagid = begin_list(*w, TAG_EXE);
        write_dword(*w, TAG_SIZE, 1);
        write_string(*w, TAG_NAME, exe.name);
        end_list(*w, exe.tagid);
    }
    // An EXE without a name is not indexed.
    end_list(*w, begin_list(*w, TAG_EXE));
    end_list(*w, *parent);
    std::vector<uint8_t> image;
    EXPECT_TRUE(close_to_buffer(*w, &image)) << writer_error(*w);
    return open_database_bytes(std::move(image));
}

std::vector<Exe> sample_exes() {
    return {{u"b.exe", 0},        {u"A.exe", 0},         {u"a.EXE", 0},
            {u"iexplore.exe", 0}, {u"iexplore2.exe", 0}, {u"zz.exe", 0}};
}

std::vector<TAGID> found(const Database& db, TAGID parent, const char16_t* name, bool scan) {
    KeySearch search;
    std::vector<TAGID> result;
    TAGID t = scan ? scan_first_by_key(db, parent, TAG_EXE, TAG_NAME, name, &search)
                   : find_first_by_key(db, parent, TAG_EXE, TAG_NAME, name, &search);
    for (; t != 0; t = find_next_by_key(db, &search)) {
        result.push_back(t);
    }
    EXPECT_EQ(find_next_by_key(db, &search), 0u);
    return result;
}

TEST(SdbIndex, UniqueRecordsAreSortedOnePerKey) {
    std::vector<Exe> exes = sample_exes();
    TAGID parent = 0;
    DatabasePtr db = build(exes, 4, true, &parent);
    ASSERT_TRUE(db);
    EXPECT_EQ(get_first_child(*db, TAGID_ROOT), database_indexes(*db));
    TAGID index = find_index(*db, TAG_EXE, TAG_NAME);
    ASSERT_NE(index, 0u);
    EXPECT_TRUE(index_is_unique(*db, index));
    ASSERT_EQ(index_record_count(*db, index), 4u);
    std::vector<IndexRecord> records(4);
    for (uint32_t n = 0; n < 4; ++n) {
        ASSERT_TRUE(index_record(*db, index, n, &records[n]));
    }
    EXPECT_FALSE(index_record(*db, index, 4, &records[0]));
    EXPECT_EQ(records[0].key, string_key(u"a.exe"));
    EXPECT_EQ(records[0].tagid, exes[1].tagid); // the first of the two
    EXPECT_EQ(records[1].tagid, exes[0].tagid);
    EXPECT_EQ(records[2].key, 0x494558504C4F5245ull);
    EXPECT_EQ(records[2].tagid, exes[3].tagid);
    EXPECT_EQ(records[3].tagid, exes[5].tagid);
    EXPECT_EQ(find_index(*db, TAG_EXE, TAG_WILDCARD_NAME), 0u);
}

TEST(SdbIndex, LookupWalksOnThroughFollowingSiblings) {
    std::vector<Exe> exes = sample_exes();
    TAGID parent = 0;
    DatabasePtr db = build(exes, 4, true, &parent);
    ASSERT_TRUE(db);
    EXPECT_EQ(found(*db, parent, u"a.exe", false),
              (std::vector<TAGID>{exes[1].tagid, exes[2].tagid}));
    // Shares its key with iexplore.exe and is not indexed itself.
    EXPECT_EQ(found(*db, parent, u"IEXPLORE2.EXE", false), std::vector<TAGID>{exes[4].tagid});
    EXPECT_EQ(found(*db, parent, u"iexplore.exe", false), std::vector<TAGID>{exes[3].tagid});
    EXPECT_EQ(found(*db, parent, u"zz.exe", false), std::vector<TAGID>{exes[5].tagid});
    EXPECT_TRUE(found(*db, parent, u"missing.exe", false).empty());
    EXPECT_TRUE(found(*db, parent, u"", false).empty());
    for (const Exe& exe : exes) {
        EXPECT_EQ(found(*db, parent, exe.name, false), found(*db, parent, exe.name, true));
    }
}

TEST(SdbIndex, NonUniqueIndexListsEveryItem) {
    std::vector<Exe> exes = sample_exes();
    TAGID parent = 0;
    DatabasePtr db = build(exes, 8, false, &parent);
    ASSERT_TRUE(db);
    TAGID index = find_index(*db, TAG_EXE, TAG_NAME);
    EXPECT_FALSE(index_is_unique(*db, index));
    // Six named EXEs, and two reserved records left over: key all ones, TAGID 0.
    ASSERT_EQ(index_record_count(*db, index), 8u);
    IndexRecord record;
    ASSERT_TRUE(index_record(*db, index, 6, &record));
    EXPECT_EQ(record.key, ~0ull);
    EXPECT_EQ(record.tagid, 0u);
    EXPECT_EQ(found(*db, parent, u"a.exe", false),
              (std::vector<TAGID>{exes[1].tagid, exes[2].tagid}));
    EXPECT_EQ(found(*db, parent, u"iexplore2.exe", false), std::vector<TAGID>{exes[4].tagid});

    KeySearch search;
    TAGID library = find_first_tag(*db, parent, TAG_LIBRARY);
    TAGID shim = find_first_by_key(*db, library, TAG_SHIM, TAG_NAME, u"SHIM1", &search);
    EXPECT_NE(search.index, 0u);
    EXPECT_EQ(read_string(*db, find_first_tag(*db, shim, TAG_NAME)), u"shim1");
}

TEST(SdbIndex, WithoutIndexesLookupScans) {
    std::vector<Exe> exes = sample_exes();
    TAGID parent = 0;
    DatabasePtr db = build(exes, 0, false, &parent);
    ASSERT_TRUE(db);
    EXPECT_EQ(database_indexes(*db), 0u);
    EXPECT_EQ(find_index(*db, TAG_EXE, TAG_NAME), 0u);
    EXPECT_EQ(found(*db, parent, u"A.EXE", false),
              (std::vector<TAGID>{exes[1].tagid, exes[2].tagid}));
    EXPECT_EQ(found(*db, parent, u"iexplore2.exe", false), std::vector<TAGID>{exes[4].tagid});
}

TEST(SdbIndex, OverflowFailsTheClose) {
    WriterPtr w = create_writer();
    ASSERT_TRUE(declare_index(*w, TAG_EXE, TAG_NAME, 1, false));
    EXPECT_FALSE(declare_index(*w, TAG_NAME, TAG_NAME, 1, false));
    EXPECT_FALSE(declare_index(*w, TAG_EXE, TAG_EXE, 1, false));
    TAGID list = begin_list(*w, TAG_DATABASE);
    for (const char16_t* name : {u"one.exe", u"two.exe"}) {
        TAGID exe = begin_list(*w, TAG_EXE);
        write_string(*w, TAG_NAME, name);
        end_list(*w, exe);
    }
    end_list(*w, list);
    std::vector<uint8_t> image;
    EXPECT_FALSE(close_to_buffer(*w, &image));
    EXPECT_NE(writer_error(*w).find("EXE"), std::string::npos);
}

TEST(SdbIndex, GuidKeysUseTheirFirstEightBytes) {
    Guid id;
    ASSERT_TRUE(parse_guid("{01020304-0506-0708-090a-0b0c0d0e0f10}", &id));
    WriterPtr w = create_writer();
    ASSERT_TRUE(declare_index(*w, TAG_EXE, TAG_EXE_ID, 1, true));
    TAGID list = begin_list(*w, TAG_DATABASE);
    TAGID exe = begin_list(*w, TAG_EXE);
    write_guid(*w, TAG_EXE_ID, id);
    end_list(*w, exe);
    end_list(*w, list);
    std::vector<uint8_t> image;
    ASSERT_TRUE(close_to_buffer(*w, &image));
    DatabasePtr db = open_database_bytes(std::move(image));
    IndexRecord record;
    ASSERT_TRUE(index_record(*db, find_index(*db, TAG_EXE, TAG_EXE_ID), 0, &record));
    EXPECT_EQ(record.key, 0x0708050601020304ull);
    EXPECT_EQ(record.tagid, exe);
}

// A record may only lead to a child of the searched parent: an EXE of the name before
// DATABASE, at the top level, is not found under it.
TEST(SdbIndex, RecordsOutsideTheParentAreNotFollowed) {
    for (bool unique : {false, true}) {
        WriterPtr w = create_writer();
        ASSERT_TRUE(declare_index(*w, TAG_EXE, TAG_NAME, 2, unique));
        TAGID outside = begin_list(*w, TAG_EXE);
        write_string(*w, TAG_NAME, u"app.exe");
        end_list(*w, outside);
        TAGID database = begin_list(*w, TAG_DATABASE);
        TAGID inside = begin_list(*w, TAG_EXE);
        write_string(*w, TAG_NAME, u"app.exe");
        end_list(*w, inside);
        end_list(*w, database);
        std::vector<uint8_t> image;
        ASSERT_TRUE(close_to_buffer(*w, &image));
        DatabasePtr db = open_database_bytes(std::move(image));
        // The unique index names only the first, outside one: nothing under DATABASE.
        std::vector<TAGID> expected;
        if (!unique) {
            expected.push_back(inside);
        }
        EXPECT_EQ(found(*db, database, u"app.exe", false), expected) << unique;
        EXPECT_EQ(found(*db, database, u"app.exe", true), std::vector<TAGID>{inside}) << unique;
    }
}

// How the EXE indexes of a database with wildcard entries are written.
enum class ExeIndexes { Both, NameOnly, None };

struct WildDatabase {
    DatabasePtr db;
    std::vector<TAGID> exes; // in the order of wild_names
};

const char16_t* const wild_names[] = {u"setup.exe", u"Setup.EXE", u"setup*.exe", u"*",
                                      u"se?up.exe", u"other.exe", u"*install*"};

// EXEs of wild_names. Both: real databases' indexes, the wildcard entries with
// WILDCARD_NAME and left out of EXE/NAME. NameOnly: EXE/NAME alone, listing all, and the
// patterns in NAME only, as older compilers leave them. None: no index, WILDCARD_NAME.
WildDatabase build_wild(ExeIndexes indexes, std::vector<uint8_t>* image = nullptr) {
    WriterPtr w = create_writer();
    if (indexes != ExeIndexes::None) {
        bool both = indexes == ExeIndexes::Both;
        EXPECT_TRUE(declare_index(*w, TAG_EXE, TAG_NAME, 8, true, both ? TAG_WILDCARD_NAME : 0));
        if (both) {
            EXPECT_TRUE(declare_index(*w, TAG_EXE, TAG_WILDCARD_NAME, 8, false));
        }
    }
    WildDatabase result;
    TAGID database = begin_list(*w, TAG_DATABASE);
    end_list(*w, begin_list(*w, TAG_LIBRARY));
    for (const char16_t* name : wild_names) {
        result.exes.push_back(begin_list(*w, TAG_EXE));
        write_string(*w, TAG_NAME, name);
        if (indexes != ExeIndexes::NameOnly &&
            std::u16string(name).find_first_of(u"*?") != std::u16string::npos) {
            write_string(*w, TAG_WILDCARD_NAME, name);
        }
        end_list(*w, result.exes.back());
    }
    end_list(*w, database);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(close_to_buffer(*w, &bytes));
    if (image != nullptr) {
        *image = bytes;
    }
    result.db = open_database_bytes(std::move(bytes));
    return result;
}

TEST(SdbExeLookup, ExactAndWildcardEntriesWhateverTheIndexes) {
    struct Case {
        const char16_t* name;
        std::vector<int> exact; // positions in wild_names
        std::vector<int> wildcard;
    };
    const Case cases[] = {
        {u"SETUP.exe", {0, 1}, {2, 3, 4}}, {u"setup_install.exe", {}, {2, 3, 6}},
        {u"setup*.exe", {}, {2, 3}},       {u"*", {}, {3}},
        {u"other.exe", {5}, {3}},          {u"", {}, {3}},
    };
    for (ExeIndexes indexes : {ExeIndexes::Both, ExeIndexes::NameOnly, ExeIndexes::None}) {
        WildDatabase wild = build_wild(indexes);
        ASSERT_TRUE(wild.db);
        for (const Case& c : cases) {
            ExeLookup found = find_exes(*wild.db, c.name);
            std::vector<TAGID> exact, wildcard;
            for (int n : c.exact) {
                exact.push_back(wild.exes[n]);
            }
            for (int n : c.wildcard) {
                wildcard.push_back(wild.exes[n]);
            }
            int variant = static_cast<int>(indexes);
            EXPECT_EQ(found.exact, exact) << variant << " " << c.exact.size();
            EXPECT_EQ(found.wildcard, wildcard) << variant << " " << c.wildcard.size();
            EXPECT_EQ(found.name_index, indexes != ExeIndexes::None) << variant;
            EXPECT_EQ(found.wildcard_index, indexes == ExeIndexes::Both) << variant;
        }
    }
    // Real databases' layout: the wildcard entries in their own index only.
    WildDatabase both = build_wild(ExeIndexes::Both);
    EXPECT_EQ(index_record_count(*both.db, find_index(*both.db, TAG_EXE, TAG_NAME)), 8u);
    IndexRecord record;
    ASSERT_TRUE(index_record(*both.db, find_index(*both.db, TAG_EXE, TAG_NAME), 2, &record));
    EXPECT_EQ(record.tagid, 0u); // setup.exe, other.exe, then the unused ones
    TAGID wildcards = find_index(*both.db, TAG_EXE, TAG_WILDCARD_NAME);
    EXPECT_FALSE(index_is_unique(*both.db, wildcards));
    ASSERT_TRUE(index_record(*both.db, wildcards, 3, &record));
    EXPECT_NE(record.tagid, 0u);
    ASSERT_TRUE(index_record(*both.db, wildcards, 4, &record));
    EXPECT_EQ(record.tagid, 0u);
    EXPECT_EQ(exe_wildcard_pattern(*both.db, both.exes[0]), nullptr);
    EXPECT_EQ(std::u16string(exe_wildcard_pattern(*both.db, both.exes[4])), u"se?up.exe");
}

// EXEs outside a DATABASE list are no entries: a file without one has none.
TEST(SdbExeLookup, NoDatabaseNoEntries) {
    WriterPtr w = create_writer();
    for (const char16_t* name : {u"app.exe", u"*"}) {
        TAGID exe = begin_list(*w, TAG_EXE);
        write_string(*w, TAG_NAME, name);
        end_list(*w, exe);
    }
    std::vector<uint8_t> image;
    ASSERT_TRUE(close_to_buffer(*w, &image));
    DatabasePtr db = open_database_bytes(std::move(image));
    ExeLookup found = find_exes(*db, u"app.exe");
    EXPECT_TRUE(found.exact.empty());
    EXPECT_TRUE(found.wildcard.empty());
}

// Wildcard records that name an entry twice, point before DATABASE, at DATABASE itself or
// at a child of another tag: each entry is found once, and only EXEs under DATABASE.
TEST(SdbExeLookup, WildcardRecordsPointingAnywhere) {
    std::vector<uint8_t> image;
    WildDatabase wild = build_wild(ExeIndexes::Both, &image);
    TAGID database = database_list(*wild.db);
    TAGID library = find_first_tag(*wild.db, database, TAG_LIBRARY);
    TAGID bits =
        find_first_tag(*wild.db, find_index(*wild.db, TAG_EXE, TAG_WILDCARD_NAME), TAG_INDEX_BITS);
    uint32_t records = get_data_offset(*wild.db, bits);
    // Records 4 to 7 are unused; they get targets.
    const TAGID targets[] = {wild.exes[3], 12, database, library};
    for (uint32_t n = 0; n < 4; ++n) {
        for (int i = 0; i < 4; ++i) {
            image[records + (4 + n) * INDEX_RECORD_SIZE + INDEX_RECORD_TAGID + i] =
                static_cast<uint8_t>(targets[n] >> (8 * i));
        }
    }
    DatabasePtr db = open_database_bytes(image);
    EXPECT_EQ(find_exes(*db, u"x.exe").wildcard, std::vector<TAGID>{wild.exes[3]});
}

// A unique index points at the first of a run of one key: a repeated name elsewhere is
// not reached, and two records naming one item find it once.
TEST(SdbIndex, UniqueIndexFollowsRunsAndNamesEachItemOnce) {
    std::vector<Exe> exes = {{u"a.exe", 0}, {u"b.exe", 0}, {u"A.EXE", 0}};
    TAGID parent = 0;
    std::vector<uint8_t> image;
    {
        DatabasePtr db = build(exes, 3, true, &parent);
        ASSERT_TRUE(db);
        EXPECT_EQ(found(*db, parent, u"a.exe", false), std::vector<TAGID>{exes[0].tagid});
        EXPECT_EQ(found(*db, parent, u"a.exe", true),
                  (std::vector<TAGID>{exes[0].tagid, exes[2].tagid}));
        image.assign(database_image(*db), database_image(*db) + database_size(*db));
        // The second record (b.exe) becomes a second one of a.exe.
        TAGID bits = find_first_tag(*db, find_index(*db, TAG_EXE, TAG_NAME), TAG_INDEX_BITS);
        uint32_t second = get_data_offset(*db, bits) + INDEX_RECORD_SIZE;
        std::copy(image.begin() + second - INDEX_RECORD_SIZE, image.begin() + second,
                  image.begin() + second);
    }
    DatabasePtr db = open_database_bytes(image);
    EXPECT_EQ(found(*db, parent, u"A.exe", false), std::vector<TAGID>{exes[0].tagid});
}

} // namespace
