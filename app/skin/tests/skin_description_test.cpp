#include <gtest/gtest.h>

#include <random>

#include "skin/skin_description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace
{

using namespace skin;

SectionTable Parse(std::string_view text, const NameTable& names)
{
    SectionTable s;
    ParseDescription(text, names, s);
    return s;
}

TEST(SkinDescription, RegisteredSectionsKeptUnregisteredDropped)
{
    auto s =
        Parse("[IDC_LINK]\r\nsize=116 11\r\n[IDC_OTHER]\r\nsize=1 2\r\n", {{"IDC_LINK", 1089}});
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[1089]["size"], "116 11\r");
    std::vector<int> v;
    ASSERT_TRUE(ReadNumbers(s[1089]["size"], 2, v));
    EXPECT_EQ(v, (std::vector<int>{116, 11}));
}

TEST(SkinDescription, EntryRules)
{
    auto s = Parse("before=1\n[IDD_ABOUTBOX]\nkey=\n=42\na=b=c\nx=1\nx=2\nno equals\n\n"
                   " sp = 3\n[IDD_ABOUTBOX\nlast=5",
                   {{"IDD_ABOUTBOX", 100}});
    KeyTable& k = s[100];
    EXPECT_EQ(k.count("before"), 0u);
    EXPECT_EQ(k.count("key"), 0u); // "=" as the last character
    EXPECT_EQ(k[""], "42");        // the empty key
    EXPECT_EQ(k["a"], "b=c");      // first "=" splits
    EXPECT_EQ(k["x"], "2");        // later replaces earlier
    EXPECT_EQ(k[" sp "], " 3");    // nothing trimmed
    EXPECT_EQ(k["last"], "5");     // name without "]" and a last line without LF
}

TEST(SkinDescription, TwoNamesOneSection)
{
    auto s = Parse("[IDOK]\na=1\n[OK]\nb=2\n", {{"IDOK", 1}, {"OK", 1}});
    EXPECT_EQ(s[1].size(), 2u);
}

TEST(SkinDescription, NumberReading)
{
    std::vector<int> v{9};
    EXPECT_TRUE(ReadNumbers("48 135 206 290 372\r", 5, v));
    EXPECT_EQ(v, (std::vector<int>{48, 135, 206, 290, 372}));
    EXPECT_TRUE(ReadNumbers("-4 7 99", 2, v));
    EXPECT_EQ(v, (std::vector<int>{-4, 7}));
    v = {9};
    EXPECT_FALSE(ReadNumbers("", 1, v));
    EXPECT_FALSE(ReadNumbers("1", 2, v));
    EXPECT_FALSE(ReadNumbers("1x 2", 2, v));
    EXPECT_FALSE(ReadNumbers("99999999999999999999", 1, v));
    EXPECT_FALSE(ReadNumbers("32768", 1, v));
    EXPECT_FALSE(ReadNumbers("-", 1, v));
    EXPECT_EQ(v, (std::vector<int>{9}));
}

TEST(SkinDescription, HostileInputsThroughTheFuzzEntry)
{
    std::mt19937 rng(7);
    const std::string alphabet = "[]=\r\n 0123456789-IDOKLNCAB_x";
    for (int round = 0; round < 2000; ++round)
    {
        std::string s(rng() % 300, ' ');
        for (char& c : s)
            c = round % 2 ? char(rng()) : alphabet[rng() % alphabet.size()];
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
    std::string huge = "[IDOK]\nsize=" + std::string(100000, '9') + "\n";
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(huge.data()), huge.size());
}

} // namespace
