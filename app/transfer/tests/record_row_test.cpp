#include "transfer/record_row.h"

#include "res/string_ids.h"

#include <gtest/gtest.h>
#include <map>

using namespace vark;

namespace
{
std::wstring English(uint32_t id)
{
    static const std::map<uint32_t, std::wstring> t = {
        {res::ids::kInternalMic, L"Internal mic"},
        {res::ids::kLeftExternalMic, L"Left external mic"},
        {res::ids::kRightExternalMic, L"Right external mic"},
        {res::ids::kLeftLinearInput, L"Left linear input"},
        {res::ids::kRightLinearInput, L"Right linear input"},
        {res::ids::kStereo, L"stereo"},
        {res::ids::kMono, L"mono"},
        {res::ids::kYes, L"yes"},
        {res::ids::kNo, L"no"},
        {res::ids::kMarkL, L"L"},
        {res::ids::kMarkT, L"T"},
        {res::ids::kMarkA, L"A"}};
    return t.at(id);
}
std::wstring Iso(const platform::AutoDate& d)
{
    std::string s = d.Format("%Y-%m-%d %H:%M:%S");
    return {s.begin(), s.end()};
}
} // namespace

TEST(RecordRow, ColumnsOfTheList)
{
    const auto info = DecodeRecordHeader(
        32000, 86400, 0x0005 | header::kMarkL | header::kMarkT | header::kMarkA | (4u << 6), 7);
    const auto row = RecordRowTexts(2, info, English, Iso);
    EXPECT_EQ(row[0], L"3");
    EXPECT_EQ(row[1], L"L");
    EXPECT_EQ(row[2], L"AT");
    EXPECT_EQ(row[3], L"2000-01-02 00:00:00");
    EXPECT_EQ(row[4], L"0:00:01");
    EXPECT_EQ(row[5], L"16000");
    EXPECT_EQ(row[6], L"no");
    EXPECT_EQ(row[7], L"mono");
    EXPECT_EQ(row[8], L"Internal mic");
}

TEST(RecordRow, DurationsRoundAtHalfASecondAndDoNotWrapHours)
{
    EXPECT_EQ(DurationText(platform::AutoSpan(1.4995 / 86400)), L"0:00:01");
    EXPECT_EQ(DurationText(platform::AutoSpan(1.5 / 86400)), L"0:00:02");
    EXPECT_EQ(DurationText(platform::AutoSpan(30 * 3600.0 / 86400 + 61.0 / 86400)), L"30:01:01");
    // 2^32 - 1 bytes of 8 kHz mono mu-law: about 149 hours, still a sound text.
    const auto big = DecodeRecordHeader(0xFFFFFFFFu, 0, 0, 1);
    EXPECT_EQ(DurationText(big.duration), L"149:07:51");
}

TEST(RecordRow, SourceNamesFollowTheChannelRules)
{
    EXPECT_EQ(SourceNames(4, true, English), L"Internal mic"); // stereo, once
    EXPECT_EQ(SourceNames(4 | 16, true, English), L"Internal mic, Right linear input");
    EXPECT_EQ(SourceNames(8 | 2, true, English), L"Left external mic, Right external mic");
    EXPECT_EQ(SourceNames(1 | 2 | 4, true, English), L"Left linear input, Right external mic");
    EXPECT_EQ(SourceNames(8 | 2, false, English), L"Left external mic");
    EXPECT_EQ(SourceNames(0, true, English), L"");
}
