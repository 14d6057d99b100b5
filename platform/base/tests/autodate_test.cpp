#include "platform/autodate.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(AutoDate, CalendarPartsRoundTripAroundTheEpoch)
{
    EXPECT_DOUBLE_EQ(AutoDate::FromParts(1899, 12, 30, 0, 0, 0).Days(), 0.0);
    EXPECT_DOUBLE_EQ(AutoDate::FromParts(2000, 1, 1, 0, 0, 0).Days(), 36526.0);
    EXPECT_DOUBLE_EQ(AutoDate::FromParts(1900, 1, 1, 18, 0, 0).Days(), 2.75);
    // Before the epoch the fraction still counts forward within the day.
    EXPECT_DOUBLE_EQ(AutoDate::FromParts(1899, 12, 29, 6, 0, 0).Days(), -1.25);
    EXPECT_DOUBLE_EQ(AutoDate(-1.25).Linear(), -0.75);

    for (double days : {-657000.5, -1.25, 0.0, 36526.5, 45000.999988, 2958465.0})
    {
        DateParts p;
        ASSERT_TRUE(AutoDate(days).GetParts(p)) << days;
        const auto back = AutoDate::FromParts(p.year, p.month, p.day, p.hour, p.minute, p.second);
        EXPECT_NEAR(back.Linear(), AutoDate(days).Linear(), 0.5 / 86400) << days;
    }
    DateParts p;
    AutoDate(36526.0).GetParts(p);
    EXPECT_EQ(p.dayOfWeek, 6); // 2000-01-01 was a Saturday
}

TEST(AutoDate, InvalidPartsAndRangeGiveInvalidValues)
{
    EXPECT_FALSE(AutoDate::FromParts(2023, 2, 29, 0, 0, 0).IsValid());
    EXPECT_TRUE(AutoDate::FromParts(2024, 2, 29, 0, 0, 0).IsValid());
    EXPECT_FALSE(AutoDate::FromParts(2024, 13, 1, 0, 0, 0).IsValid());
    EXPECT_FALSE(AutoDate::FromParts(2024, 1, 1, 24, 0, 0).IsValid());
    EXPECT_FALSE(AutoDate::FromParts(99, 1, 1, 0, 0, 0).IsValid());
    EXPECT_TRUE(AutoDate(3615897.0).IsValid());
    EXPECT_FALSE(AutoDate(3615897.5).IsValid());
    EXPECT_FALSE(AutoSpan(-3615898.0).IsValid());
    EXPECT_EQ(AutoDate::Invalid().Format("%Y"), "");
    EXPECT_FALSE((AutoDate(1.0) + AutoSpan::Invalid()).IsValid());
}

TEST(AutoDate, FormatsTheProgramsCodes)
{
    const auto d = AutoDate::FromParts(2026, 3, 7, 9, 5, 4);
    EXPECT_EQ(d.Format("%Y.%m.%d %H:%M:%S"), "2026.03.07 09:05:04");
    EXPECT_EQ(d.Format("%Y_%m_%d %H_%M_%S.wav 100%%"), "2026_03_07 09_05_04.wav 100%");
    // Arithmetic keeps exact seconds.
    const auto later = d + AutoSpan::FromParts(1, 23, 59, 58);
    EXPECT_EQ(later.Format("%Y-%m-%d %H:%M:%S"), "2026-03-09 09:05:02");
    EXPECT_EQ((later - d).Format("%D %H:%M:%S"), "1 23:59:58");
}

TEST(AutoSpan, ComponentsAndHoursBeyondADay)
{
    const auto s = AutoSpan::FromParts(2, 1, 5, 9);
    EXPECT_EQ(s.TotalHours(), 49);
    EXPECT_EQ(s.Format("%M:%S"), "05:09");
    EXPECT_EQ(s.Hours(), 1);
    EXPECT_NEAR(s.TotalSeconds(), 2 * 86400 + 3600 + 309, 1e-6);
}
