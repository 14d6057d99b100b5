#include "recorder/flash_page.h"

#include "hamming_reference.h"

#include <gtest/gtest.h>

#include <bitset>
#include <random>
#include <vector>

using namespace recorder;

namespace
{
std::array<uint8_t, 3> Code(const uint8_t* sector)
{
    std::array<uint8_t, 3> c{};
    ComputeSectorCode(sector, c.data());
    return c;
}
} // namespace

TEST(FlashPage, SectorCodeMatchesTheDefinition)
{
    std::vector<uint8_t> s(512, 0);
    EXPECT_EQ(Code(s.data()), (std::array<uint8_t, 3>{0xFF, 0xFF, 0xFF}));
    s.assign(512, 0xFF);
    EXPECT_EQ(Code(s.data()), (std::array<uint8_t, 3>{0xFF, 0xFF, 0xFF}));
    s.assign(512, 0);
    s[0] = 0x01;
    EXPECT_EQ(Code(s.data()), (std::array<uint8_t, 3>{0xAA, 0xAA, 0xAA}));

    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round)
    {
        for (auto& b : s)
            b = static_cast<uint8_t>(rng());
        if (round % 4 == 1) // sparse sectors exercise single address bits
            for (auto& b : s)
                b = (rng() % 40 == 0) ? b : 0;
        ASSERT_EQ(Code(s.data()), ReferenceSectorCode(s.data())) << "round " << round;
    }
}

TEST(FlashPage, OneFlippedDataBitChangesTwelveCodeBitsThatNameIt)
{
    std::mt19937 rng(11);
    std::vector<uint8_t> s(512);
    for (auto& b : s)
        b = static_cast<uint8_t>(rng());
    const auto clean = Code(s.data());
    for (int addr : {0, 1, 300, 511})
        for (int bit : {0, 4, 7})
        {
            s[addr] ^= static_cast<uint8_t>(1 << bit);
            const auto bad = Code(s.data());
            s[addr] ^= static_cast<uint8_t>(1 << bit);
            const uint32_t syn = static_cast<uint32_t>(
                (clean[0] ^ bad[0]) | (clean[1] ^ bad[1]) << 8 | (clean[2] ^ bad[2]) << 16);
            EXPECT_EQ(std::bitset<24>(syn).count(), 12u);
            const int s0 = syn & 0xFF, s1 = (syn >> 8) & 0xFF, s2 = syn >> 16;
            const int gotAddr = ((s0 >> 1) & 1) | ((s0 >> 3) & 1) << 1 | ((s0 >> 5) & 1) << 2 |
                                ((s0 >> 7) & 1) << 3 | ((s1 >> 1) & 1) << 4 | ((s1 >> 3) & 1) << 5 |
                                ((s1 >> 5) & 1) << 6 | ((s1 >> 7) & 1) << 7 | ((s2 >> 1) & 1) << 8;
            const int gotBit = ((s2 >> 3) & 1) | ((s2 >> 5) & 1) << 1 | ((s2 >> 7) & 1) << 2;
            EXPECT_EQ(gotAddr, addr);
            EXPECT_EQ(gotBit, bit);
        }
}

TEST(FlashPage, PageLayout)
{
    std::vector<uint8_t> data(4096), page(5120, 0);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + i / 512);
    BuildPage(data.data(), page.data());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), page.begin()));
    for (size_t k = 0; k < 8; ++k)
    {
        const auto ref = ReferenceSectorCode(&data[512 * k]);
        for (size_t j = 0; j < 3; ++j)
            EXPECT_EQ(page[4096 + 3 * k + j], ref[j]) << "sector " << k;
    }
    EXPECT_EQ(page[4096 + 24], 0x42);
    EXPECT_EQ(page[4096 + 25], 0x45);
    for (size_t i = 4096 + 26; i < 5120; ++i)
        ASSERT_EQ(page[i], 0xFF) << i;
}
