// UTF-8 and UTF-16 conversion and the dates' text, used by the tools.
#include "sdb_text.h"
#include "sdb_time.h"

#include <gtest/gtest.h>

using namespace sdb;

namespace {

TEST(SdbText, RoundTripsEveryPlane) {
    const std::u16string text = u"a\u00e9\u0436\u20ac\U0001F600z";
    std::string utf8 = to_utf8(text);
    EXPECT_EQ(utf8, "a\xC3\xA9\xD0\xB6\xE2\x82\xAC\xF0\x9F\x98\x80z");
    std::u16string back;
    ASSERT_TRUE(from_utf8(utf8, &back));
    EXPECT_EQ(back, text);
    EXPECT_EQ(to_utf8(nullptr), "");
}

TEST(SdbText, UnpairedSurrogatesAndMalformedUtf8) {
    EXPECT_EQ(to_utf8(u"\xD800x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(to_utf8(u"x\xDC00"), "x\xEF\xBF\xBD");
    std::u16string out;
    for (const char* bad : {"\x80", "\xC3", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "a\xC3(", "\xF0\x9F\x98"}) {
        EXPECT_FALSE(from_utf8(bad, &out)) << bad;
    }
}

TEST(SdbText, DatesAsIso8601AtTheirBounds) {
    struct Case {
        TAG tag;
        uint64_t value;
        const char* text; // nullptr: not a date tag
    };
    for (const Case& c : {
             Case{TAG_TIME, 0, "1601-01-01T00:00:00Z"},
             Case{TAG_TIME, 116444736000000000ull, "1970-01-01T00:00:00Z"},
             Case{TAG_TIME, 125911584000000001ull, "2000-01-01T00:00:00.0000001Z"},
             Case{TAG_TIME, 131570685082907747ull, "2017-12-06T21:15:08.2907747Z"},
             Case{TAG_TIME, 0x7FFFFFFFFFFFFFFFull, "30828-09-14T02:48:05.4775807Z"},
             Case{TAG_LINK_DATE, 0, "1970-01-01T00:00:00Z"},
             Case{TAG_UPTO_LINK_DATE, 951868799, "2000-02-29T23:59:59Z"},
             Case{TAG_FROM_LINK_DATE, 951868800, "2000-03-01T00:00:00Z"},
             Case{TAG_LINK_DATE, 0xFFFFFFFF, "2106-02-07T06:28:15Z"},
             Case{TAG_SIZE, 0, nullptr},
             Case{TAG_BIN_FILE_VERSION, 0, nullptr},
         }) {
        std::string text = "unchanged";
        EXPECT_EQ(tag_date_text(c.tag, c.value, &text), c.text != nullptr) << c.value;
        EXPECT_EQ(text, c.text != nullptr ? c.text : "unchanged") << c.value;
    }
}

} // namespace
