// Malformed databases give clean failures: null, 0 or false, never a read outside the image.
#include "sdb_index.h"
#include "sdb_test_image.h"
#include "sdb_walk.h"
#include "sdb_writer.h"

#include <functional>

#include <gtest/gtest.h>

#include <cstring>
#if defined(__linux__)
#include <sys/mman.h>
#endif

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
    for (char last : {'g', 'f'}) {
        // "zdbg" is not the compressed magic either.
        ImageBuilder magic;
        magic.dword(2).dword(1).raw({static_cast<uint8_t>(last == 'f' ? 'z' : 's'), 'd', 'b', 'g'});
        EXPECT_EQ(open_error(magic.bytes), OpenError::BadMagic) << last;
    }
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
    // Lists nested `levels` deep, each holding the next, the innermost empty.
    struct Case {
        unsigned levels;
        WalkProblem problem;
        unsigned visited;
    };
    for (const Case& c :
         {Case{8, WalkProblem::None, 8}, Case{MAX_DEPTH, WalkProblem::None, MAX_DEPTH},
          Case{MAX_DEPTH + 1, WalkProblem::TooDeep, MAX_DEPTH},
          Case{1000, WalkProblem::TooDeep, MAX_DEPTH}}) {
        ImageBuilder b;
        b.header();
        for (unsigned level = 0; level < c.levels; ++level) {
            b.sized(TAG_DATA, 6 * (c.levels - level - 1));
        }
        DatabasePtr db = open_database_bytes(b.bytes);
        ASSERT_TRUE(db);
        unsigned visited = 0;
        WalkResult result = walk(*db, &visited);
        EXPECT_EQ(result.problem, c.problem) << c.levels;
        EXPECT_EQ(visited, c.visited) << c.levels;
        if (c.problem == WalkProblem::TooDeep) {
            EXPECT_EQ(result.where, HEADER_SIZE + 6 * MAX_DEPTH) << c.levels;
        }
    }
}

// Each case is an image and what one read of it must give, at the bound it pins.
TEST(SdbMalformed, ReadsAtTheirBounds) {
    struct Case {
        const char* what;
        ImageBuilder image;
        std::function<uint32_t(const Database&)> read;
        uint32_t expected;
    };
    const std::vector<Case> cases = {
        // Bytes 19 and 20 (the SIZE tag's high byte, its value's low byte) read as a NULL tag.
        {"odd TAGID over bytes of a valid item",
         ImageBuilder().header().sized(TAG_DATABASE, 6).word(TAG_SIZE).dword(0x10),
         [](const Database& db) { return uint32_t{get_tag(db, 19)}; }, 0},
        {"NULL item last in its list",
         ImageBuilder().header().sized(TAG_DATABASE, 8).word(TAG_SIZE).dword(1).word(TAG_GENERAL),
         [](const Database& db) { return find_first_tag(db, 12, TAG_GENERAL); }, 24},
        {"nothing after that NULL item",
         ImageBuilder().header().sized(TAG_DATABASE, 8).word(TAG_SIZE).dword(1).word(TAG_GENERAL),
         [](const Database& db) { return get_next_child(db, 12, 24); }, 0},
        {"the first of two DATABASE lists",
         ImageBuilder().header().sized(TAG_DATABASE, 0).sized(TAG_DATABASE, 0),
         [](const Database& db) { return database_list(db); }, 12},
        // prev is the earlier sibling of the parent: what follows it is the parent itself.
        {"prev before the parent",
         ImageBuilder().header().sized(TAG_DATABASE, 0).sized(TAG_EXE, 6).word(TAG_SIZE).dword(1),
         [](const Database& db) { return get_next_child(db, 18, 12); }, 0},
        {"GUID of 14 bytes",
         ImageBuilder().header().sized(TAG_EXE_ID, 14).dword(1).dword(2).dword(3).word(4),
         [](const Database& db) {
             Guid guid;
             return uint32_t{read_guid(db, 12, &guid)};
         },
         0},
        {"GUID of 18 bytes",
         ImageBuilder().header().sized(TAG_EXE_ID, 18).dword(1).dword(2).dword(3).dword(4).word(5),
         [](const Database& db) {
             Guid guid;
             return uint32_t{read_guid(db, 12, &guid)};
         },
         0},
        {"GUID of 16 bytes",
         ImageBuilder().header().sized(TAG_EXE_ID, 16).dword(1).dword(2).dword(3).dword(4),
         [](const Database& db) {
             Guid guid;
             return uint32_t{read_guid(db, 12, &guid) && guid.data1 == 1};
         },
         1},
    };
    for (const Case& c : cases) {
        DatabasePtr db = open_database_bytes(c.image.bytes);
        ASSERT_TRUE(db) << c.what;
        EXPECT_EQ(c.read(*db), c.expected) << c.what;
    }
}

// References into the table's 6-byte header read nothing; the first entry is at 6.
TEST(SdbMalformed, StringReferencesOntoTheTableHeader) {
    ImageBuilder b;
    b.header().sized(TAG_DATABASE, 0).sized(TAG_STRINGTABLE, 8).sized(TAG_STRINGTABLE_ITEM, 2);
    b.word(0);
    DatabasePtr db = open_database_bytes(b.bytes);
    ASSERT_TRUE(db);
    for (uint32_t reference : {0u, 2u, 4u}) {
        EXPECT_EQ(get_stringtable_ptr(*db, reference), nullptr) << reference;
    }
    ASSERT_NE(get_stringtable_ptr(*db, 6), nullptr);
    EXPECT_EQ(get_stringtable_ptr(*db, 6)[0], u'\0');
}

TEST(SdbMalformed, SizesAtTheFourGibibyteBound) {
    // One byte more than a TAGID can address is refused before anything is read.
    if (sizeof(size_t) > 4) {
        OpenError error = OpenError::None;
        static const uint8_t header[HEADER_SIZE] = {2, 0, 0, 0, 1, 0, 0, 0, 's', 'd', 'b', 'f'};
        EXPECT_FALSE(open_database_buffer(header, size_t{0xFFFFFFFFu} + 1, &error));
        EXPECT_EQ(error, OpenError::TooLarge);
    }
    // The writer refuses an item that would take the image to 4 GiB, before reading it.
    WriterPtr w = create_writer();
    TAGID list = begin_list(*w, TAG_DATABASE);
    uint8_t byte = 0;
    EXPECT_FALSE(write_binary(*w, TAG_FILE_BITS, &byte, 0xFFFFFFF0u - next_tagid(*w) - 6 + 1));
    EXPECT_TRUE(end_list(*w, list));
    std::vector<uint8_t> image;
    EXPECT_TRUE(close_to_buffer(*w, &image));
#if defined(__linux__)
    // A buffer of exactly 0xFFFFFFFF bytes is read; only its first and last pages are
    // touched. DATABASE, then a string table whose one entry ends on the last byte.
    const size_t size = 0xFFFFFFFFu;
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    uint8_t* bytes = static_cast<uint8_t*>(mapped);
    const uint32_t table = 0xFFFFFFEEu;
    ImageBuilder head;
    head.header().sized(TAG_DATABASE, table - HEADER_SIZE - 6);
    std::memcpy(bytes, head.bytes.data(), head.bytes.size());
    ImageBuilder tail;
    tail.sized(TAG_STRINGTABLE, 11).sized(TAG_STRINGTABLE_ITEM, 5).word(u'a').word(0);
    std::memcpy(bytes + table, tail.bytes.data(), tail.bytes.size());
    DatabasePtr db = open_database_buffer(bytes, size);
    ASSERT_TRUE(db);
    EXPECT_EQ(database_size(*db), 0xFFFFFFFFu);
    EXPECT_EQ(database_stringtable(*db), table);
    EXPECT_EQ(database_stopped_at(*db), 0u);
    ASSERT_NE(get_stringtable_ptr(*db, 6), nullptr);
    EXPECT_EQ(get_stringtable_ptr(*db, 6)[0], u'a');
    EXPECT_EQ(get_next_child(*db, TAGID_ROOT, table), 0u);
    // The entry ends on the last byte: nothing follows it, not even at offset 0.
    EXPECT_EQ(walk_item(*db, table, [](TAGID, unsigned) {}).problem, WalkProblem::None);
    db.reset();
    munmap(mapped, size);
#endif
}

// Damaged copies of a database keep their strings and entries: cut at the end, the
// DATABASE size enlarged past the file or over the string table, an unreadable item
// before the string table.
TEST(SdbMalformed, DamageKeepsWhatCanBeRead) {
    WriterPtr w = create_writer();
    TAGID database = begin_list(*w, TAG_DATABASE);
    TAGID exe = begin_list(*w, TAG_EXE);
    write_string(*w, TAG_NAME, u"victim.exe");
    write_string(*w, TAG_COMMAND_LINE, u"payload.dll");
    end_list(*w, exe);
    end_list(*w, database);
    std::vector<uint8_t> image;
    ASSERT_TRUE(close_to_buffer(*w, &image));
    DatabasePtr whole = open_database_bytes(image);
    TAGID table = database_stringtable(*whole);
    uint32_t table_size = get_data_size(*whole, table);
    auto set_size = [](std::vector<uint8_t>& bytes, TAGID list, uint32_t size) {
        for (int i = 0; i < 4; ++i) {
            bytes[list + 2 + i] = static_cast<uint8_t>(size >> (8 * i));
        }
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        TAGID table;   // where the string table is found
        TAGID stopped; // where reading the top level stopped
        bool command;  // the last string is whole
    };
    std::vector<Case> cases;
    cases.push_back({"whole", image, table, 0, true});
    cases.push_back({"cut by 2 bytes", std::vector<uint8_t>(image.begin(), image.end() - 2), table,
                     table, false});
    cases.push_back({"DATABASE past the file", image, table, database, true});
    set_size(cases.back().bytes, database, 0x7FFFFFF0u);
    cases.push_back({"DATABASE over the string table", image, table, 0, true});
    set_size(cases.back().bytes, database, get_data_size(*whole, database) + 6 + table_size);
    cases.push_back({"DATABASE over part of the string table", image, table, table + 4, true});
    set_size(cases.back().bytes, database, get_data_size(*whole, database) + 4);
    cases.push_back({"an unknown tag before the string table", image, table + 2, table, true});
    cases.back().bytes.insert(cases.back().bytes.begin() + table, {0, 0});
    cases.push_back({"an unknown tag before a string table cut short", cases.back().bytes,
                     table + 2, table, false});
    cases.back().bytes.resize(cases.back().bytes.size() - 2);
    for (const Case& c : cases) {
        DatabasePtr db = open_database_bytes(c.bytes);
        ASSERT_TRUE(db) << c.what;
        EXPECT_EQ(database_list(*db), database) << c.what;
        EXPECT_EQ(database_stringtable(*db), c.table) << c.what;
        EXPECT_EQ(database_stopped_at(*db), c.stopped) << c.what;
        EXPECT_EQ(*database_stop_reason(*db) != 0, c.stopped != 0) << c.what;
        EXPECT_EQ(find_first_tag(*db, database, TAG_EXE), exe) << c.what;
        // The string table is no child of the DATABASE that swallowed it.
        EXPECT_EQ(find_first_tag(*db, database, TAG_STRINGTABLE), 0u) << c.what;
        const char16_t* name = get_child_string_ptr(*db, exe, TAG_NAME);
        EXPECT_TRUE(name != nullptr && std::u16string(name) == u"victim.exe") << c.what;
        EXPECT_EQ(get_child_string_ptr(*db, exe, TAG_COMMAND_LINE) != nullptr, c.command) << c.what;
    }
    // Not taken for a string table: a lone STRINGTABLE header, one whose first child is no
    // entry, one whose list ends inside an entry although the file goes on.
    ImageBuilder lone, no_entry, cut_by_list;
    lone.sized(TAG_STRINGTABLE, 0);
    no_entry.sized(TAG_STRINGTABLE, 6).word(TAG_NAME).dword(6);
    cut_by_list.sized(TAG_STRINGTABLE, 14).sized(TAG_STRINGTABLE_ITEM, 4).text(u"a");
    cut_by_list.sized(TAG_STRINGTABLE_ITEM, 4).text(u"b");
    for (const ImageBuilder* tail : {&lone, &no_entry, &cut_by_list}) {
        ImageBuilder b;
        b.header().sized(TAG_DATABASE, 6).word(TAG_NAME).dword(6).word(0);
        b.bytes.insert(b.bytes.end(), tail->bytes.begin(), tail->bytes.end());
        DatabasePtr db = open_database_bytes(b.bytes);
        ASSERT_TRUE(db);
        EXPECT_EQ(database_stringtable(*db), 0u) << tail->bytes.size();
        EXPECT_EQ(database_stopped_at(*db), 24u) << tail->bytes.size();
    }
    // The table is looked for after the last top-level list read, not inside an earlier one.
    ImageBuilder decoy;
    decoy.header().sized(TAG_DATA, 16).sized(TAG_STRINGTABLE, 10).sized(TAG_STRINGTABLE_ITEM, 4);
    decoy.text(u"x").sized(TAG_DATABASE, 6).word(TAG_NAME).dword(6).word(0);
    decoy.sized(TAG_STRINGTABLE, 10).sized(TAG_STRINGTABLE_ITEM, 4).text(u"y");
    DatabasePtr db = open_database_bytes(decoy.bytes);
    ASSERT_TRUE(db);
    const char16_t* name = get_child_string_ptr(*db, database_list(*db), TAG_NAME);
    EXPECT_TRUE(name != nullptr && std::u16string(name) == u"y");
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
