#include <gtest/gtest.h>

#include "res/strings.h"

namespace
{

// The named ids are made from en.txt at build time; a known pair shows that they were.
static_assert(res::ids::kCantOpenRecord == 155 && res::ids::kMenuExit == 32771);

TEST(StringTable, ParsesLinesEscapesAndSkipsBadOnes)
{
    std::vector<size_t> bad;
    auto t = res::ParseStringTable("# note\n102\tSound manager\r\n\n199\tA\\nB\\tC\\\\D\\x\n"
                                   "abc\tno number\n77 no tab\n99999999999\ttoo big\n"
                                   "5\t\n102\tReplaced",
                                   &bad);
    EXPECT_EQ(t[102], "Replaced");
    EXPECT_EQ(t[199], "A\nB\tC\\D\\x");
    EXPECT_EQ(t[5], "");
    EXPECT_EQ(t.size(), 3u);
    EXPECT_EQ(bad, (std::vector<size_t>{5, 6, 7}));
}

TEST(StringTable, LookupByLanguageFallsBackToNeutral)
{
    bool found = false;
    EXPECT_EQ(res::LoadString(res::ids::kConnected, 1033, &found), "Connected");
    EXPECT_TRUE(found);
    EXPECT_NE(res::LoadString(res::ids::kConnected, 1049), "Connected");
    EXPECT_EQ(res::LoadString(res::ids::kConnected, 4242),
              "Connected"); // language the program lacks
    EXPECT_EQ(res::LoadString(4000000000u, 1033, &found), "");
    EXPECT_FALSE(found);
    platform::SetThreadLocale(1049);
    EXPECT_EQ(res::LoadString(res::ids::kConnected), res::LoadString(res::ids::kConnected, 1049));
    EXPECT_EQ(res::FormatString(res::ids::kTimersOverlap, 1, 2),
              res::FormatText(res::LoadString(res::ids::kTimersOverlap).c_str(), 1, 2));
    platform::SetThreadLocale(1033);
    EXPECT_EQ(res::FormatString(res::ids::kTimersOverlap, 2, 4),
              "Timers 2 and 4 are overlapped. Please change values.");
}

TEST(StringTable, PrintfSpecifiers)
{
    EXPECT_EQ(res::PrintfSpecifiers("%d%% of %02d:%s %I64u,%03I64u %.8x"),
              (std::vector<std::string>{"%d", "%02d", "%s", "%I64u", "%03I64u", "%.8x"}));
    EXPECT_TRUE(res::PrintfSpecifiers("100%% sure").empty());
}

// Every text of the program exists in all five languages with the same printf specifiers,
// so a translated message can never read an argument the caller did not pass.
TEST(StringTable, EveryLanguageHasEveryStringWithTheSameSpecifiers)
{
    const res::StringTable& en = res::BuiltInTable(1033);
    ASSERT_GT(en.size(), 100u);
    for (platform::Lcid l : res::Languages())
    {
        const res::StringTable& t = res::BuiltInTable(l);
        EXPECT_EQ(t.size(), en.size()) << res::LanguageFileName(l);
        for (const auto& [id, text] : en)
        {
            auto it = t.find(id);
            ASSERT_NE(it, t.end()) << res::LanguageFileName(l) << " lacks " << id;
            EXPECT_EQ(res::PrintfSpecifiers(it->second), res::PrintfSpecifiers(text))
                << res::LanguageFileName(l) << " " << id;
        }
    }
}

} // namespace
