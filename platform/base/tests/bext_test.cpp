#include "platform/bext.h"

#include <gtest/gtest.h>

using platform::bext::Bext;

TEST(Bext, BodyReadsBackAndDatesAreChecked)
{
    Bext b;
    b.description = std::string(300, 'd'); // longer than its field: cut, not spilled
    b.originator = "Pocket recorder";
    b.originationDate = "2026-03-14";
    b.originationTime = "09:26:53";
    b.timeReference = 0x123456789AULL;
    b.version = 2;
    b.codingHistory = "A=PCM,F=16000,W=16,M=mono\r\n";
    const auto body = platform::bext::Body(b);
    ASSERT_EQ(body.size(), platform::bext::kFixedBytes + b.codingHistory.size());

    const auto back = platform::bext::Parse(body.data(), body.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->description, std::string(256, 'd'));
    EXPECT_EQ(back->originator, "Pocket recorder");
    EXPECT_EQ(back->timeReference, 0x123456789AULL);
    EXPECT_EQ(back->version, 2);
    EXPECT_EQ(back->codingHistory, b.codingHistory);
    const auto when = platform::bext::Origination(*back);
    ASSERT_TRUE(when);
    EXPECT_EQ(when->year, 2026);
    EXPECT_EQ(when->day, 14);
    EXPECT_EQ(when->second, 53);

    EXPECT_FALSE(platform::bext::Parse(body.data(), platform::bext::kFixedBytes - 1));
    for (const char* date : {"2026-02-30", "2026-13-01", "20260314  ", "", "2026-3-14 "})
    {
        Bext bad = *back;
        bad.originationDate = date;
        EXPECT_FALSE(platform::bext::Origination(bad)) << date;
    }
    Bext dashes = *back;
    dashes.originationTime = "23-59-59";
    EXPECT_TRUE(platform::bext::Origination(dashes));
    dashes.originationTime = "24:00:00";
    EXPECT_FALSE(platform::bext::Origination(dashes));
}
