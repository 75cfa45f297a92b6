// Items of every type written and read back, at both header versions.
#include "sdb_reader.h"
#include "sdb_walk.h"
#include "sdb_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

using namespace sdb;

namespace {

const TAG TAG_BINARY_TEST = TAG_FILE_BITS;

DatabasePtr close_and_open(Writer& w) {
    std::vector<uint8_t> image;
    EXPECT_TRUE(close_to_buffer(w, &image)) << writer_error(w);
    DatabasePtr db = open_database_bytes(std::move(image));
    EXPECT_TRUE(db);
    return db;
}

class SdbRoundTrip : public ::testing::TestWithParam<uint32_t> {};

TEST_P(SdbRoundTrip, EveryTypeReadsBackAsWritten) {
    const uint8_t odd[5] = {1, 2, 3, 4, 5};
    WriterPtr w = create_writer(GetParam());
    ASSERT_TRUE(w);
    TAGID list = begin_list(*w, TAG_DATABASE);
    ASSERT_TRUE(write_null(*w, TAG_GENERAL));
    ASSERT_TRUE(write_word(*w, TAG_MATCH_MODE, 0xBEEF));
    ASSERT_TRUE(write_dword(*w, TAG_SIZE, 0xDEADBEEF));
    ASSERT_TRUE(write_qword(*w, TAG_BIN_FILE_VERSION, 0x0001000200030004ull));
    ASSERT_TRUE(write_string(*w, TAG_NAME, u"Ünïcode name"));
    ASSERT_TRUE(write_string(*w, TAG_STRINGTABLE_ITEM, u"inline"));
    ASSERT_TRUE(write_binary(*w, TAG_BINARY_TEST, odd, sizeof odd));
    ASSERT_TRUE(write_dword(*w, TAG_FLAGS, 7));
    ASSERT_TRUE(end_list(*w, list));
    DatabasePtr db = close_and_open(*w);
    ASSERT_TRUE(db);
    EXPECT_EQ(database_major(*db), GetParam());
    EXPECT_EQ(database_minor(*db), GetParam() == 2 ? 1u : 0u);

    TAGID t = get_first_child(*db, list);
    EXPECT_EQ(get_tag(*db, t), TAG_GENERAL);
    EXPECT_EQ(get_item_size(*db, t), 2u);
    t = get_next_child(*db, list, t);
    EXPECT_EQ(read_word(*db, t), 0xBEEF);
    t = get_next_child(*db, list, t);
    EXPECT_EQ(read_dword(*db, t), 0xDEADBEEFu);
    t = get_next_child(*db, list, t);
    // An even offset plus 2 puts the QWORD's data off 8-byte alignment.
    EXPECT_EQ(read_qword(*db, t), 0x0001000200030004ull);
    t = get_next_child(*db, list, t);
    EXPECT_EQ(read_string(*db, t), u"Ünïcode name");
    t = get_next_child(*db, list, t);
    EXPECT_EQ(get_tag(*db, t), TAG_STRINGTABLE_ITEM);
    EXPECT_EQ(read_string(*db, t), u"inline");
    t = get_next_child(*db, list, t);
    std::vector<uint8_t> bits;
    ASSERT_TRUE(read_binary(*db, t, &bits));
    // Odd-sized data gets a counted pad byte.
    EXPECT_EQ(bits, (std::vector<uint8_t>{1, 2, 3, 4, 5, 0}));
    t = get_next_child(*db, list, t);
    EXPECT_EQ(read_dword(*db, t), 7u);
    EXPECT_EQ(get_next_child(*db, list, t), 0u);

    // Typed reads refuse items of another type.
    TAGID word = find_first_tag(*db, list, TAG_MATCH_MODE);
    EXPECT_EQ(read_dword(*db, word, 42), 42u);
    EXPECT_EQ(read_qword(*db, word, 43), 43u);
    EXPECT_EQ(get_string_ptr(*db, word), nullptr);
    uint32_t size = 0;
    EXPECT_EQ(get_binary_ptr(*db, word, &size), nullptr);
    EXPECT_EQ(read_word(*db, find_first_tag(*db, list, TAG_SIZE), 44), 44);
    EXPECT_EQ(read_child_dword(*db, list, TAG_FLAGS), 7u);
    EXPECT_EQ(read_child_qword(*db, list, TAG_TIME, 9), 9u);

    // Every item lies on an even offset and the walk sees them all.
    unsigned items = 0;
    WalkResult walked = walk_database(*db, [&](TAGID tagid, unsigned) {
        EXPECT_EQ(tagid % 2, 0u);
        ++items;
    });
    EXPECT_EQ(walked.problem, WalkProblem::None);
    EXPECT_EQ(items, 11u); // DATABASE and its 8 children, STRINGTABLE and its one entry
}

INSTANTIATE_TEST_SUITE_P(SdbHeaderVersions, SdbRoundTrip, ::testing::Values(2u, 3u));

TEST(SdbWriter, StringTableHoldsEachStringOnce) {
    WriterPtr w = create_writer();
    TAGID list = begin_list(*w, TAG_DATABASE);
    for (const char16_t* text : {u"a.exe", u"b.exe", u"a.exe", u"", u"b.exe", u""}) {
        ASSERT_TRUE(write_string(*w, TAG_NAME, text));
    }
    ASSERT_TRUE(end_list(*w, list));
    DatabasePtr db = close_and_open(*w);
    ASSERT_TRUE(db);
    std::vector<uint32_t> refs;
    for (TAGID t = get_first_child(*db, list); t != 0; t = get_next_child(*db, list, t)) {
        refs.push_back(read_stringref(*db, t));
    }
    // Entries of "a.exe" (6 + 12 bytes) and "b.exe" come before "".
    EXPECT_EQ(refs, (std::vector<uint32_t>{6, 24, 6, 42, 24, 42}));
    TAGID table = database_stringtable(*db);
    unsigned entries = 0;
    for (TAGID t = get_first_child(*db, table); t != 0; t = get_next_child(*db, table, t)) {
        ++entries;
    }
    EXPECT_EQ(entries, 3u);
    EXPECT_EQ(read_string(*db, find_next_tag(*db, list, get_first_child(*db, list))), u"b.exe");
}

TEST(SdbWriter, RefusesMisuse) {
    WriterPtr w = create_writer();
    EXPECT_FALSE(create_writer(1));
    EXPECT_FALSE(create_writer(4));
    EXPECT_EQ(begin_list(*w, TAG_NAME), 0u);
    EXPECT_FALSE(write_word(*w, TAG_SIZE, 1));
    EXPECT_FALSE(write_dword(*w, TAG_NAME, 1));
    EXPECT_FALSE(write_qword(*w, TAG_SIZE, 1));
    EXPECT_FALSE(write_null(*w, TAG_SIZE));
    EXPECT_FALSE(write_string(*w, TAG_SIZE, u"x"));
    EXPECT_FALSE(write_binary(*w, TAG_NAME, "x", 1));
    // A NUL inside a string would cut it short for readers.
    EXPECT_FALSE(write_string(*w, TAG_NAME, std::u16string(u"a\0b", 3)));
    TAGID outer = begin_list(*w, TAG_DATABASE);
    TAGID inner = begin_list(*w, TAG_EXE);
    EXPECT_FALSE(end_list(*w, outer));
    std::vector<uint8_t> image;
    EXPECT_FALSE(close_to_buffer(*w, &image));
    EXPECT_FALSE(writer_error(*w).empty());
    EXPECT_TRUE(end_list(*w, inner));
    EXPECT_TRUE(end_list(*w, outer));
    EXPECT_FALSE(declare_index(*w, TAG_EXE, TAG_NAME, 1, true));
    ASSERT_TRUE(close_to_buffer(*w, &image));
    EXPECT_FALSE(write_dword(*w, TAG_SIZE, 1));
    EXPECT_FALSE(close_to_buffer(*w, &image));
}

TEST(SdbWriter, FileIsWrittenWholeOrNotAtAll) {
    std::string path = ::testing::TempDir() + "roundtrip_test.sdb";
    std::remove(path.c_str());
    WriterPtr open_list = create_writer();
    begin_list(*open_list, TAG_DATABASE);
    EXPECT_FALSE(close_to_file(*open_list, path.c_str()));
    EXPECT_FALSE(std::ifstream(path).good());

    WriterPtr w = create_writer(3);
    TAGID list = begin_list(*w, TAG_DATABASE);
    write_string(*w, TAG_NAME, u"file");
    end_list(*w, list);
    ASSERT_TRUE(close_to_file(*w, path.c_str()));
    EXPECT_FALSE(std::ifstream(path + ".tmp").good());
    OpenError error = OpenError::None;
    DatabasePtr db = open_database_file(path.c_str(), &error);
    ASSERT_TRUE(db) << open_error_text(error);
    EXPECT_EQ(database_major(*db), 3u);
    EXPECT_EQ(read_string(*db, get_first_child(*db, database_list(*db))), u"file");
    std::remove(path.c_str());

    EXPECT_FALSE(open_database_file(path.c_str(), &error));
    EXPECT_EQ(error, OpenError::Unreadable);
    // A directory is no database either.
    EXPECT_FALSE(open_database_file(::testing::TempDir().c_str(), &error));
    EXPECT_EQ(error, OpenError::Unreadable);
}

TEST(SdbReader, BufferAtOddAddressIsCopiedSoStringsStayAligned) {
    WriterPtr w = create_writer();
    TAGID list = begin_list(*w, TAG_DATABASE);
    write_string(*w, TAG_NAME, u"aligned");
    end_list(*w, list);
    std::vector<uint8_t> image;
    ASSERT_TRUE(close_to_buffer(*w, &image));
    std::vector<uint8_t> shifted(image.size() + 1);
    std::copy(image.begin(), image.end(), shifted.begin() + 1);
    DatabasePtr db = open_database_buffer(shifted.data() + 1, image.size());
    ASSERT_TRUE(db);
    const char16_t* text = get_child_string_ptr(*db, list, TAG_NAME);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(text) % 2, 0u);
    EXPECT_EQ(std::u16string(text), u"aligned");
}

} // namespace
