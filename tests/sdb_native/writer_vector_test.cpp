// The smallest valid database, written byte for byte and read back.
#include "sdb_reader.h"
#include "sdb_writer.h"

#include <gtest/gtest.h>

using namespace sdb;

namespace {

const uint8_t SMALLEST[72] = {
    0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x73, 0x64, 0x62, 0x66, // header 2.1
    0x01, 0x70, 0x22, 0x00, 0x00, 0x00,                                     // DATABASE
    0x01, 0x60, 0x06, 0x00, 0x00, 0x00,                                     // NAME -> 6
    0x07, 0x90, 0x10, 0x00, 0x00, 0x00,                                     // DATABASE_ID
    0xEB, 0x75, 0xDD, 0x79, 0x98, 0xC0, 0x57, 0x47, 0x99, 0x65, 0x9E, 0x83, 0xC4, 0xCA, 0x9D,
    0xA4,                                                       //
    0x02, 0x70, 0x00, 0x00, 0x00, 0x00,                         // LIBRARY, empty
    0x01, 0x78, 0x0E, 0x00, 0x00, 0x00,                         // STRINGTABLE
    0x01, 0x88, 0x08, 0x00, 0x00, 0x00, 0x49, 0x00, 0x43, 0x00, // "ICS"
    0x53, 0x00, 0x00, 0x00};

const char* const ICS_ID = "{79dd75eb-c098-4757-9965-9e83c4ca9da4}";

TEST(SdbWriterVector, SmallestDatabaseByteForByte) {
    Guid id;
    ASSERT_TRUE(parse_guid("{79DD75EB-C098-4757-9965-9E83C4CA9DA4}", &id));
    WriterPtr w = create_writer();
    TAGID db = begin_list(*w, TAG_DATABASE);
    EXPECT_EQ(db, 12u);
    EXPECT_TRUE(write_string(*w, TAG_NAME, u"ICS"));
    EXPECT_TRUE(write_guid(*w, TAG_DATABASE_ID, id));
    TAGID library = begin_list(*w, TAG_LIBRARY);
    EXPECT_EQ(library, 46u);
    EXPECT_TRUE(end_list(*w, library));
    EXPECT_TRUE(end_list(*w, db));
    std::vector<uint8_t> image;
    ASSERT_TRUE(close_to_buffer(*w, &image));
    EXPECT_EQ(image, std::vector<uint8_t>(SMALLEST, SMALLEST + sizeof SMALLEST));
}

TEST(SdbWriterVector, SmallestDatabaseReadBack) {
    OpenError error = OpenError::Unreadable;
    DatabasePtr db = open_database_buffer(SMALLEST, sizeof SMALLEST, &error);
    ASSERT_TRUE(db);
    EXPECT_EQ(error, OpenError::None);
    EXPECT_EQ(database_major(*db), 2u);
    EXPECT_EQ(database_minor(*db), 1u);
    EXPECT_EQ(database_list(*db), 12u);
    EXPECT_EQ(database_stringtable(*db), 52u);
    EXPECT_EQ(database_indexes(*db), 0u);

    TAGID list = find_first_tag(*db, TAGID_ROOT, TAG_DATABASE);
    ASSERT_EQ(list, 12u);
    EXPECT_EQ(get_data_size(*db, list), 34u);
    TAGID name = get_first_child(*db, list);
    EXPECT_EQ(name, 18u);
    EXPECT_EQ(get_tag(*db, name), TAG_NAME);
    EXPECT_EQ(read_stringref(*db, name), 6u);
    EXPECT_EQ(read_string(*db, name), u"ICS");
    EXPECT_EQ(get_stringtable_ptr(*db, 6), get_string_ptr(*db, name));
    // The text points into the image, 6 bytes after the table item's tag.
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(get_string_ptr(*db, name)), SMALLEST + 58 + 6);

    Guid id;
    ASSERT_TRUE(read_guid(*db, find_first_tag(*db, list, TAG_DATABASE_ID), &id));
    EXPECT_EQ(guid_to_text(id), ICS_ID);
    TAGID library = find_first_tag(*db, list, TAG_LIBRARY);
    EXPECT_EQ(library, 46u);
    EXPECT_EQ(get_first_child(*db, library), 0u);
    EXPECT_EQ(get_next_child(*db, list, library), 0u);
    EXPECT_EQ(get_next_child(*db, TAGID_ROOT, list), 52u);
    EXPECT_EQ(get_next_child(*db, TAGID_ROOT, 52), 0u);
}

TEST(SdbGuidText, LowerCaseInBracesAndBufferLength) {
    Guid id;
    ASSERT_TRUE(parse_guid("79dd75eb-c098-4757-9965-9E83C4CA9DA4", &id));
    char16_t text[GUID_TEXT_CHARS];
    EXPECT_FALSE(guid_to_string(id, text, GUID_TEXT_CHARS - 1));
    ASSERT_TRUE(guid_to_string(id, text, GUID_TEXT_CHARS));
    EXPECT_EQ(std::u16string(text), u"{79dd75eb-c098-4757-9965-9e83c4ca9da4}");

    uint8_t bytes[GUID_BYTES];
    guid_to_bytes(id, bytes);
    EXPECT_EQ(guid_from_bytes(bytes), id);
    EXPECT_EQ(bytes[0], 0xEB);
    EXPECT_EQ(bytes[15], 0xA4);

    for (const char* bad :
         {"", "{79dd75eb-c098-4757-9965-9e83c4ca9da}", "79dd75eb+c098-4757-9965-9e83c4ca9da4",
          "{79dd75eb-c098-4757-9965-9e83c4ca9dx4}", "{79dd75eb-c098-4757-9965-9e83c4ca9da4",
          // One brace, and the other end one character longer.
          "{79dd75eb-c098-4757-9965-9e83c4ca9da4 ", "(79dd75eb-c098-4757-9965-9e83c4ca9da4}",
          "79dd75eb-c098-4757-9965-9e83c4ca9da4}"}) {
        EXPECT_FALSE(parse_guid(bad, &id)) << bad;
    }
    Guid braced;
    ASSERT_TRUE(parse_guid("{79DD75EB-C098-4757-9965-9E83C4CA9DA4}", &braced));
    EXPECT_EQ(braced, id);
}

} // namespace
