#include "transfer/g711.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace vark;

namespace
{
// G.711 mu-law decoder output of segment s, step q in its 13-bit units: (2q + 33) * 2^s - 33;
// 16-bit PCM carries it scaled by 4. The code on the line is the complement of sign|s|q.
int ReferenceExpansion(int code)
{
    const int u = ~code & 0xFF;
    const int s = (u >> 4) & 7, q = u & 15;
    const int magnitude = ((2 * q + 33) * (1 << s) - 33) * 4;
    return (u & 0x80) ? -magnitude : magnitude;
}
} // namespace

TEST(G711, ExpansionOfAllCodesMatchesTheReferenceTable)
{
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(MuLawToLinear(static_cast<uint8_t>(code)), ReferenceExpansion(code)) << code;

    // Fixed points of the table: the extremes, both zeros, segment edges.
    EXPECT_EQ(MuLawToLinear(0x00), -32124);
    EXPECT_EQ(MuLawToLinear(0x80), 32124);
    EXPECT_EQ(MuLawToLinear(0xFF), 0);
    EXPECT_EQ(MuLawToLinear(0x7F), 0);
    EXPECT_EQ(MuLawToLinear(0xFE), 8);
    EXPECT_EQ(MuLawToLinear(0xEF), 132);   // 33, first step of segment 1
    EXPECT_EQ(MuLawToLinear(0x90), 15996); // 3999, last of segment 6
    EXPECT_EQ(MuLawToLinear(0x8F), 16764); // 4191, first of segment 7
    EXPECT_EQ(MuLawToLinear(0x0F), -16764);

    const std::vector<uint8_t> codes = {0x00, 0x7F, 0x80, 0xFF};
    std::vector<int16_t> pcm(codes.size());
    MuLawExpand(codes.data(), codes.size(), pcm.data());
    EXPECT_EQ(pcm, (std::vector<int16_t>{-32124, 0, 32124, 0}));
}

TEST(G711, CompressionOfEverySampleRoundTripsWithinHalfAStep)
{
    for (int x = -32768; x <= 32767; ++x)
    {
        const uint8_t code = LinearToMuLaw(static_cast<int16_t>(x));
        const int back = MuLawToLinear(code);
        const int s = ((~code) >> 4) & 7;
        // Step of segment s is 2^(s+1) in 13-bit units, so half a step is 2^(s+2) in 16-bit.
        const int limit = (std::abs(x) > 32124) ? std::abs(x) - 32124 : (1 << (s + 2));
        ASSERT_LE(std::abs(back - x), limit) << x;
        ASSERT_TRUE(back == 0 || (back < 0) == (x < 0)) << x;
    }
    // The compressor reaches all 256 codes (the negative zero from -1 .. -3).
    std::vector<bool> seen(256);
    for (int x = -32768; x <= 32767; ++x)
        seen[LinearToMuLaw(static_cast<int16_t>(x))] = true;
    for (int code = 0; code < 256; ++code)
        EXPECT_TRUE(seen[static_cast<size_t>(code)]) << code;
}

TEST(G711, CompressionKnownPointsAndReencodingIsStable)
{
    EXPECT_EQ(LinearToMuLaw(0), 0xFF);
    EXPECT_EQ(LinearToMuLaw(-1), 0x7F);
    EXPECT_EQ(LinearToMuLaw(8), 0xFE);
    EXPECT_EQ(LinearToMuLaw(32767), 0x80);
    EXPECT_EQ(LinearToMuLaw(32124), 0x80);
    EXPECT_EQ(LinearToMuLaw(-32768), 0x00);
    EXPECT_EQ(LinearToMuLaw(132), 0xEF);
    EXPECT_EQ(LinearToMuLaw(16764), 0x8F);
    // A decoded value encodes back to its own code (the -0 code becomes +0).
    for (int code = 0; code < 256; ++code)
    {
        if (code == 0x7F) continue;
        EXPECT_EQ(LinearToMuLaw(MuLawToLinear(static_cast<uint8_t>(code))), code) << code;
    }
    const std::vector<int16_t> pcm = {0, -32768, 32767};
    std::vector<uint8_t> codes(pcm.size());
    MuLawCompress(pcm.data(), pcm.size(), codes.data());
    EXPECT_EQ(codes, (std::vector<uint8_t>{0xFF, 0x00, 0x80}));
}
