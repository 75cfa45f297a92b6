// Index keys, the records the writer sorts, and lookups through an index or by scanning.
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

} // namespace
