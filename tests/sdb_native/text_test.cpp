// UTF-8 and UTF-16 conversion used by the tools.
#include "sdb_text.h"

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

} // namespace
