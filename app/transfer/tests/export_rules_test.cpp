#include "transfer/export_rules.h"

#include "transfer/g711.h"

#include <gtest/gtest.h>

using namespace vark;

namespace
{
// A record starting `startSeconds` after 2000-01-01 with `dataSize` bytes.
RecordInfo Rec(uint32_t startSeconds, uint32_t dataSize, uint32_t headerWord)
{
    return DecodeRecordHeader(dataSize, startSeconds, headerWord, 5);
}
constexpr uint32_t kA = header::kMarkA;
} // namespace

TEST(ExportRules, FileNameFromTheStartTime)
{
    RecordInfo r;
    r.start = platform::AutoDate::FromParts(2024, 5, 1, 10, 20, 30);
    EXPECT_EQ(ExportBaseName(r), "2024_05_01 10_20_30");
    EXPECT_EQ(ExportBaseName(Rec(86400 + 3661, 0, 0)), "2000_01_02 01_01_01");
}

TEST(ExportRules, OnlyMatchingAFragmentsJoinWithTheirPause)
{
    const RecordInfo first = Rec(0, 8000, kA); // 8 kHz mono mu-law, 1 s
    EXPECT_EQ(JoinNoiseBytes(first, Rec(4, 8000, kA), PauseMode::kReal, 7), 24000u); // 3 s
    EXPECT_EQ(JoinNoiseBytes(first, Rec(4, 8000, kA), PauseMode::kFixed, 7), 56000u);
    // A real pause of 0 (or an overlap) is 0.2 s.
    EXPECT_EQ(JoinNoiseBytes(first, Rec(1, 8000, kA), PauseMode::kReal, 7), 1600u);
    EXPECT_EQ(JoinNoiseBytes(first, Rec(0, 8000, kA), PauseMode::kReal, 7), 1600u);
    EXPECT_EQ(JoinNoiseBytes(first, Rec(4, 8000, kA), PauseMode::kFixed, 0), 1600u);

    const uint32_t pcm16kStereo = header::kRate16k | header::kStereo | header::kUncompressed;
    EXPECT_EQ(JoinNoiseBytes(Rec(0, 64000, kA | pcm16kStereo), Rec(10, 1, kA | pcm16kStereo),
                             PauseMode::kFixed, 5),
              320000u);

    // What does not join: different rate, channels or encoding, other marks, an empty
    // previous record (the first of the selection).
    EXPECT_EQ(JoinNoiseBytes(first, Rec(4, 8000, kA | header::kRate16k), PauseMode::kReal, 7), 0u);
    EXPECT_EQ(JoinNoiseBytes(first, Rec(4, 8000, kA | header::kStereo), PauseMode::kReal, 7), 0u);
    EXPECT_EQ(JoinNoiseBytes(first, Rec(4, 8000, kA | header::kUncompressed), PauseMode::kReal, 7),
              0u);
    EXPECT_EQ(JoinNoiseBytes(first, Rec(4, 8000, kA | header::kMarkT), PauseMode::kReal, 7), 0u);
    EXPECT_EQ(JoinNoiseBytes(Rec(0, 8000, 0), Rec(4, 8000, kA), PauseMode::kReal, 7), 0u);
    EXPECT_EQ(JoinNoiseBytes(RecordInfo{}, Rec(4, 8000, kA), PauseMode::kReal, 7), 0u);
}

TEST(ExportRules, PauseEntryAndItsLimits)
{
    EXPECT_EQ(ParsePauseText(L"5"), 5);
    EXPECT_EQ(ParsePauseText(L" 59 "), 59);
    EXPECT_EQ(ParsePauseText(L"+3"), 3);
    EXPECT_EQ(ParsePauseText(L"-3"), 0);
    EXPECT_EQ(ParsePauseText(L""), 0);
    EXPECT_EQ(ParsePauseText(L"abc"), 0);
    EXPECT_EQ(ParsePauseText(L"5s"), 0);
    EXPECT_FALSE(PauseAccepted(PauseMode::kFixed, ParsePauseText(L"99999999999999")));
    EXPECT_FALSE(PauseAccepted(PauseMode::kFixed, 0));
    EXPECT_TRUE(PauseAccepted(PauseMode::kFixed, 1));
    EXPECT_TRUE(PauseAccepted(PauseMode::kFixed, 59));
    EXPECT_FALSE(PauseAccepted(PauseMode::kFixed, 60));
    EXPECT_TRUE(PauseAccepted(PauseMode::kReal, 0));
}

TEST(ExportRules, CountersGroupThousands)
{
    EXPECT_EQ(GroupThousands(0), "0");
    EXPECT_EQ(GroupThousands(999), "999");
    EXPECT_EQ(GroupThousands(1000), "1,000");
    EXPECT_EQ(GroupThousands(999999), "999,999");
    EXPECT_EQ(GroupThousands(1000000), "1,000,000");
    EXPECT_EQ(GroupThousands(1234567890), "1234,567,890");
}

TEST(ExportRules, NoiseIsAMovingWindowOfFifteen)
{
    int next = 0;
    const auto counting = [&] { return (next++ * 97) % 32768; };
    const std::string pcm = MakeNoiseBlock(false, counting);
    ASSERT_EQ(pcm.size(), 2 * kNoiseSamples);
    std::vector<int> raw(kNoiseSamples);
    for (size_t i = 0; i < kNoiseSamples; ++i)
        raw[i] = static_cast<int>(i * 97 % 32768) * 1000 / 32767;
    const auto sampleAt = [&](size_t i)
    {
        return static_cast<int16_t>(static_cast<uint8_t>(pcm[2 * i]) |
                                    (static_cast<uint8_t>(pcm[2 * i + 1]) << 8));
    };
    const auto expected = [&](size_t i)
    {
        int sum = 0;
        const size_t from = i < 14 ? 0 : i - 14;
        for (size_t j = from; j < from + 15; ++j)
            sum += raw[j] / 15;
        return sum;
    };
    for (size_t i : {size_t{0}, size_t{13}, size_t{14}, size_t{15}, size_t{500}, kNoiseSamples - 1})
        EXPECT_EQ(sampleAt(i), expected(i)) << i;

    // Loudest possible noise stays low; the mu-law block encodes the same samples.
    const auto loud = [] { return 32767; };
    const std::string mu = MakeNoiseBlock(true, loud);
    ASSERT_EQ(mu.size(), kNoiseSamples);
    EXPECT_EQ(static_cast<uint8_t>(mu[100]), LinearToMuLaw(990)); // 15 x (1000 / 15)
    const std::string loudPcm = MakeNoiseBlock(false, loud);
    EXPECT_EQ(static_cast<uint8_t>(loudPcm[0]) | (static_cast<uint8_t>(loudPcm[1]) << 8), 990);
    for (int i = 0; i < 1000; ++i)
        ASSERT_LE(RuntimeRandom15(), 32767);
}
