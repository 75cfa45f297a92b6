// Malformed databases give clean failures: null, 0 or false, never a read outside the image.
#include "sdb_index.h"
#include "sdb_test_image.h"
#include "sdb_walk.h"
#include "sdb_writer.h"

#include <gtest/gtest.h>

using namespace sdb;

namespace {

OpenError open_error(const std::vector<uint8_t>& bytes) {
    OpenError error = OpenError::None;
    EXPECT_FALSE(open_database_buffer(bytes.data(), bytes.size(), &error));
    return error;
}

TEST(SdbMalformed, HeaderProblemsRefuseToOpen) {
    EXPECT_EQ(open_error({}), OpenError::TooSmall);
    ImageBuilder truncated;
    truncated.header();
    truncated.bytes.pop_back();
    EXPECT_EQ(open_error(truncated.bytes), OpenError::TooSmall);
    ImageBuilder compressed;
    compressed.dword(2).dword(1).raw({'z', 'd', 'b', 'f'});
    EXPECT_EQ(open_error(compressed.bytes), OpenError::Compressed);
    ImageBuilder magic;
    magic.dword(2).dword(1).raw({'s', 'd', 'b', 'g'});
    EXPECT_EQ(open_error(magic.bytes), OpenError::BadMagic);
    for (uint32_t major : {0u, 1u, 4u, 0x80000002u}) {
        EXPECT_EQ(open_error(ImageBuilder().header(major).bytes), OpenError::UnsupportedVersion);
    }
    // The minor version is ignored; a header alone is an empty database.
    DatabasePtr empty = open_database_bytes(ImageBuilder().header(3, 12345).bytes);
    ASSERT_TRUE(empty);
    EXPECT_EQ(get_first_child(*empty, TAGID_ROOT), 0u);
    EXPECT_EQ(walk_database(*empty, [](TAGID, unsigned) {}).problem, WalkProblem::None);
    EXPECT_STRNE(open_error_text(OpenError::Compressed), open_error_text(OpenError::BadMagic));
}

WalkResult walk(const Database& db, unsigned* visited = nullptr) {
    unsigned count = 0;
    WalkResult result = walk_database(db, [&](TAGID, unsigned) { ++count; });
    if (visited != nullptr) {
        *visited = count;
    }
    return result;
}

TEST(SdbMalformed, SizesRunningPastTheFileOrTheParent) {
    // A size field cut off, a fixed-size item cut off, lists whose size runs past the file.
    struct Case {
        ImageBuilder image;
        unsigned visited;
        TAGID where;
    };
    for (const Case& c :
         {Case{ImageBuilder().header().word(TAG_DATABASE).word(0), 0, 12},
          Case{ImageBuilder().header().word(TAG_SIZE).word(1), 0, 12},
          Case{ImageBuilder().header().sized(TAG_DATABASE, 0xFFFFFFFF), 1, 12},
          Case{ImageBuilder().header().sized(TAG_DATABASE, 100).word(TAG_SIZE).word(1), 1, 18}}) {
        DatabasePtr db = open_database_bytes(c.image.bytes);
        ASSERT_TRUE(db);
        EXPECT_EQ(get_tag(*db, 12), 0u);
        EXPECT_EQ(get_data_size(*db, 12), 0u);
        EXPECT_EQ(get_first_child(*db, TAGID_ROOT), 0u);
        EXPECT_EQ(get_first_child(*db, 12), 0u);
        EXPECT_EQ(read_dword(*db, 12, 5), 5u);
        unsigned visited = 0;
        WalkResult result = walk(*db, &visited);
        EXPECT_EQ(result.problem, WalkProblem::ItemPastFile);
        EXPECT_EQ(result.where, c.where);
        EXPECT_EQ(visited, c.visited);
    }

    // A child that fits the file but not its list: DATABASE of 4 bytes holding a DWORD.
    ImageBuilder b;
    b.header().sized(TAG_DATABASE, 4).word(TAG_SIZE).dword(7).word(TAG_FLAGS).dword(1);
    DatabasePtr db = open_database_bytes(b.bytes);
    ASSERT_TRUE(db);
    EXPECT_EQ(get_first_child(*db, 12), 0u);
    EXPECT_EQ(find_first_tag(*db, 12, TAG_SIZE), 0u);
    EXPECT_EQ(read_dword(*db, 18), 7u); // addressed directly it lies inside the file
    unsigned visited = 0;
    WalkResult result = walk(*db, &visited);
    EXPECT_EQ(result.problem, WalkProblem::ItemPastParent);
    EXPECT_EQ(result.where, 18u);
    EXPECT_EQ(visited, 1u);
    // Navigation from a sibling outside the parent finds nothing.
    EXPECT_EQ(get_next_child(*db, 12, 24), 0u);
    EXPECT_EQ(get_next_child(*db, 12, 0), 0u);

    // A list that runs past its parent shows the children that fit, then stops there.
    ImageBuilder nested;
    nested.header().sized(TAG_DATABASE, 12).sized(TAG_EXE, 20).word(TAG_SIZE).dword(3);
    nested.word(TAG_FLAGS).dword(4).word(TAG_FLAGS).dword(5).word(TAG_FLAGS).dword(6);
    db = open_database_bytes(nested.bytes);
    ASSERT_TRUE(db);
    EXPECT_EQ(get_first_child(*db, 12), 0u);
    std::vector<TAGID> seen;
    result = walk_database(*db, [&](TAGID t, unsigned) { seen.push_back(t); });
    EXPECT_EQ(seen, (std::vector<TAGID>{12, 18, 24}));
    EXPECT_EQ(result.problem, WalkProblem::ItemPastParent);
    EXPECT_EQ(result.where, 18u);
}

TEST(SdbMalformed, StringsOutsideTheTableOrWithoutNul) {
    ImageBuilder b;
    b.header()
        .sized(TAG_DATABASE, 30)
        .word(TAG_NAME)
        .dword(6) // 18: fine
        .word(TAG_NAME)
        .dword(0x7FFFFFF0) // 24: far outside the table
        .word(TAG_NAME)
        .dword(0) // 30: the table's own header
        .word(TAG_NAME)
        .dword(12) // 36: inside an entry's text
        .word(TAG_NAME)
        .dword(2)                   // 42: inside the table's header
        .sized(TAG_STRINGTABLE, 12) // 48
        .sized(TAG_STRINGTABLE_ITEM, 6)
        .text(u"ab"); // an entry at reference 6
    DatabasePtr db = open_database_bytes(b.bytes);
    ASSERT_TRUE(db);
    EXPECT_EQ(read_string(*db, 18), u"ab");
    for (TAGID bad : {24u, 30u, 36u, 42u}) {
        EXPECT_EQ(get_string_ptr(*db, bad), nullptr) << bad;
    }
    EXPECT_EQ(get_stringtable_ptr(*db, 0xFFFFFFFF), nullptr);
    // Bad values do not stop the walk; the first is noted.
    unsigned visited = 0;
    WalkResult result = walk(*db, &visited);
    EXPECT_EQ(result.problem, WalkProblem::None);
    EXPECT_EQ(result.value_problem, WalkProblem::BadStringRef);
    EXPECT_EQ(result.value_where, 24u);
    EXPECT_EQ(visited, 8u);

    // Inline strings: unterminated, odd-sized with no room for the NUL, and one whose
    // NUL lies past its size.
    ImageBuilder u;
    u.header()
        .sized(TAG_STRINGTABLE_ITEM, 4)
        .text(u"ab", false)
        .sized(TAG_STRINGTABLE_ITEM, 1)
        .raw({0, 0})
        .sized(TAG_STRINGTABLE_ITEM, 2)
        .text(u"c");
    db = open_database_bytes(u.bytes);
    ASSERT_TRUE(db);
    EXPECT_EQ(get_string_ptr(*db, 12), nullptr);
    EXPECT_EQ(get_string_ptr(*db, 22), nullptr);
    EXPECT_EQ(get_string_ptr(*db, 30), nullptr);
    EXPECT_EQ(read_string(*db, 12), u"");
    result = walk(*db);
    EXPECT_EQ(result.value_problem, WalkProblem::UnterminatedString);
    EXPECT_EQ(result.value_where, 12u);

    // No string table at all.
    ImageBuilder none;
    none.header().sized(TAG_DATABASE, 6).word(TAG_NAME).dword(6);
    db = open_database_bytes(none.bytes);
    EXPECT_EQ(get_string_ptr(*db, 18), nullptr);
}

TEST(SdbMalformed, OddAndMisplacedTagids) {
    WriterPtr w = create_writer();
    TAGID list = begin_list(*w, TAG_DATABASE);
    write_string(*w, TAG_NAME, u"x");
    end_list(*w, list);
    std::vector<uint8_t> image;
    ASSERT_TRUE(close_to_buffer(*w, &image));
    DatabasePtr db = open_database_bytes(image);
    for (TAGID bad : {1u, 4u, 11u, 13u, 19u, static_cast<TAGID>(image.size()), 0xFFFFFFFEu}) {
        EXPECT_EQ(get_tag(*db, bad), 0u) << bad;
        EXPECT_EQ(get_string_ptr(*db, bad), nullptr) << bad;
        EXPECT_EQ(get_first_child(*db, bad), 0u) << bad;
        EXPECT_EQ(find_next_tag(*db, TAGID_ROOT, bad), 0u) << bad;
    }
    // Not a list: no children.
    EXPECT_EQ(get_first_child(*db, 18), 0u);
}

TEST(SdbMalformed, UnknownTypeStopsTheWalk) {
    ImageBuilder b;
    b.header().sized(TAG_DATABASE, 4).word(0xA001).word(0);
    DatabasePtr db = open_database_bytes(b.bytes);
    EXPECT_EQ(get_first_child(*db, 12), 0u);
    WalkResult result = walk(*db);
    EXPECT_EQ(result.problem, WalkProblem::UnknownType);
    EXPECT_EQ(result.where, 18u);
}

TEST(SdbMalformed, NestingDeeperThanAnyRealFile) {
    // Lists nested 1000 deep, each holding the next.
    const unsigned levels = 1000;
    ImageBuilder b;
    b.header();
    for (unsigned level = 0; level < levels; ++level) {
        b.sized(TAG_DATA, 6 * (levels - level - 1));
    }
    DatabasePtr db = open_database_bytes(b.bytes);
    ASSERT_TRUE(db);
    unsigned visited = 0;
    WalkResult result = walk(*db, &visited);
    EXPECT_EQ(result.problem, WalkProblem::TooDeep);
    EXPECT_EQ(visited, MAX_DEPTH);
    EXPECT_EQ(result.where, HEADER_SIZE + 6 * MAX_DEPTH);

    // Real nesting depths walk through.
    ImageBuilder shallow;
    shallow.header();
    for (unsigned level = 0; level < 8; ++level) {
        shallow.sized(TAG_DATA, 6 * (8 - level - 1));
    }
    db = open_database_bytes(shallow.bytes);
    EXPECT_EQ(walk(*db, &visited).problem, WalkProblem::None);
    EXPECT_EQ(visited, 8u);
}

// A database with an EXE index whose record can be patched.
std::vector<uint8_t> indexed_image(TAGID* database) {
    WriterPtr w = create_writer();
    declare_index(*w, TAG_EXE, TAG_NAME, 1, true);
    *database = begin_list(*w, TAG_DATABASE);
    TAGID exe = begin_list(*w, TAG_EXE);
    write_string(*w, TAG_NAME, u"app.exe");
    end_list(*w, exe);
    end_list(*w, *database);
    std::vector<uint8_t> image;
    EXPECT_TRUE(close_to_buffer(*w, &image));
    return image;
}

TEST(SdbMalformed, IndexRecordsPointingAnywhere) {
    TAGID database = 0;
    std::vector<uint8_t> image = indexed_image(&database);
    // The record is the last 12 bytes of INDEXES, which ends where DATABASE starts.
    size_t tagid_at = database - 4;
    DatabasePtr good = open_database_bytes(image);
    KeySearch search;
    TAGID exe = find_first_by_key(*good, database, TAG_EXE, TAG_NAME, u"app.exe", &search);
    ASSERT_NE(exe, 0u);
    ASSERT_EQ(image[tagid_at], exe & 0xFF);

    for (uint32_t target : {0xFFFFFFF0u, 0x7FFFFFFFu, 0u, 1u, 12u, database, database + 6 + 1,
                            static_cast<uint32_t>(image.size() - 2)}) {
        std::vector<uint8_t> patched = image;
        for (int i = 0; i < 4; ++i) {
            patched[tagid_at + i] = static_cast<uint8_t>(target >> (8 * i));
        }
        DatabasePtr db = open_database_bytes(patched);
        ASSERT_TRUE(db);
        EXPECT_EQ(find_first_by_key(*db, database, TAG_EXE, TAG_NAME, u"app.exe", &search), 0u)
            << target;
        // A scan still finds the entry.
        EXPECT_EQ(scan_first_by_key(*db, database, TAG_EXE, TAG_NAME, u"app.exe", &search), exe);
    }

    // INDEX_BITS cut to a partial record: no record is read from it.
    std::vector<uint8_t> partial = image;
    DatabasePtr db = open_database_bytes(image);
    TAGID index = find_index(*db, TAG_EXE, TAG_NAME);
    TAGID bits = find_first_tag(*db, index, TAG_INDEX_BITS);
    partial[bits + 2] = 11;
    db = open_database_bytes(partial);
    EXPECT_EQ(index_record_count(*db, find_index(*db, TAG_EXE, TAG_NAME)), 0u);
    EXPECT_EQ(find_first_by_key(*db, database, TAG_EXE, TAG_NAME, u"app.exe", &search), 0u);
}

TEST(SdbMalformed, TruncatedAtEveryLength) {
    TAGID database = 0;
    std::vector<uint8_t> image = indexed_image(&database);
    TAGID table = database_stringtable(*open_database_bytes(image));
    for (size_t length = 0; length < image.size(); ++length) {
        std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<long>(length));
        DatabasePtr db = open_database_bytes(cut);
        if (length < HEADER_SIZE) {
            EXPECT_FALSE(db);
            continue;
        }
        ASSERT_TRUE(db);
        // Only a cut between top-level lists leaves a well-formed (if incomplete) file.
        WalkResult result = walk(*db);
        if (result.problem == WalkProblem::None && result.value_problem == WalkProblem::None) {
            EXPECT_TRUE(length == HEADER_SIZE || length == database || length == table) << length;
        }
        KeySearch search;
        EXPECT_EQ(find_first_by_key(*db, database, TAG_EXE, TAG_NAME, u"app.exe", &search), 0u);
    }
}

} // namespace
