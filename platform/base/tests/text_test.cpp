#include "platform/text.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Text, RoundTripsEveryPlaneAndFlagsInvalidInput)
{
    const std::wstring wide = L"A\u00e9\u0416\u20ac\U0001F600";
    const std::string utf8 = WideToUtf8(wide);
    EXPECT_EQ(utf8, "A\xC3\xA9\xD0\x96\xE2\x82\xAC\xF0\x9F\x98\x80");
    bool ok = false;
    EXPECT_EQ(Utf8ToWide(utf8, &ok), wide);
    EXPECT_TRUE(ok);

    // Overlong, surrogate, truncated and stray continuation bytes are all invalid and each
    // bad byte becomes one replacement character.
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\x80", "\xF8\x88\x80\x80\x80"})
    {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
        Utf8ToWide(bad, &ok);
        EXPECT_FALSE(ok);
    }
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b"),
              L"a\uFFFDb");
}

TEST(Text, CaseInsensitiveNamesIgnoreTheProcessLocale)
{
    EXPECT_TRUE(EqualsNoCaseUtf8("Common", "COMMON"));
    EXPECT_TRUE(EqualsNoCaseUtf8("\xD0\x9E\xD0\xB1\xD1\x89\xD0\xB5\xD0\xB5",
                                 "\xD0\xBE\xD0\x91\xD0\xA9\xD0\x95\xD0\x95"));
    EXPECT_FALSE(EqualsNoCaseUtf8("Common", "Commons"));
}
