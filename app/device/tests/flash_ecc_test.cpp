#include "device/flash_ecc.h"
#include "device_reference/reference_ecc.h"

#include "scriba/scriba.h"
#include "testsupport/test_env.h"

#include <algorithm>
#include <bit>
#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace vark;
using vark::reference::ReferenceEcc;

namespace
{

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(rng());
    return v;
}

std::vector<uint8_t> MakePage(unsigned seed)
{
    auto page = RandomBytes(kPageSize, seed);
    reference::SealPage(page.data());
    return page;
}

} // namespace

TEST(FlashEcc, ParityTableAndKnownCodes)
{
    EXPECT_EQ(kEccParityTable[0x00], 0xFF);
    EXPECT_EQ(kEccParityTable[0x01], 0xD4);
    EXPECT_EQ(kEccParityTable[0x03], 0xF9);
    for (unsigned x = 0; x < 256; ++x)
        EXPECT_TRUE(kEccParityTable[x] & 0x80);

    std::vector<uint8_t> sector(512, 0);
    EXPECT_EQ(ComputeSectorEcc(sector.data()), (SectorEcc{0xFF, 0xFF, 0xFF}));
    sector.assign(512, 0xFF);
    EXPECT_EQ(ComputeSectorEcc(sector.data()), (SectorEcc{0xFF, 0xFF, 0xFF}));
    sector.assign(512, 0);
    sector[0] = 1;
    EXPECT_EQ(ComputeSectorEcc(sector.data()), (SectorEcc{0xAA, 0xAA, 0xAA}));
}

TEST(FlashEcc, WordWiseCodeEqualsTheDefinition)
{
    for (unsigned seed = 0; seed < 200; ++seed)
    {
        const auto sector = RandomBytes(512, seed);
        ASSERT_EQ(ComputeSectorEcc(sector.data()), ReferenceEcc(sector.data())) << seed;
    }
    // Every single-bit sector, so each address and bit lands in the right parity.
    std::vector<uint8_t> sector(512, 0);
    for (unsigned a = 0; a < 512; ++a)
        for (unsigned b = 0; b < 8; ++b)
        {
            sector[a] = static_cast<uint8_t>(1u << b);
            ASSERT_EQ(ComputeSectorEcc(sector.data()), ReferenceEcc(sector.data()))
                << a << ":" << b;
            sector[a] = 0;
        }
}

TEST(FlashEcc, CorrectSectorRepairsEveryKindOfSingleError)
{
    const auto clean = RandomBytes(512, 7);
    const auto code = ReferenceEcc(clean.data());
    for (unsigned a : {0u, 1u, 300u, 511u})
        for (unsigned b = 0; b < 8; ++b)
        {
            auto data = clean;
            data[a] ^= static_cast<uint8_t>(1u << b);
            auto stored = code;
            EXPECT_EQ(CorrectSector(data.data(), stored.data(), ComputeSectorEcc(data.data())),
                      EccResult::corrected);
            EXPECT_EQ(data, clean) << a << ":" << b;
        }
    for (unsigned bit = 0; bit < 24; ++bit)
    {
        auto data = clean;
        auto stored = code;
        stored[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        EXPECT_EQ(CorrectSector(data.data(), stored.data(), ComputeSectorEcc(data.data())),
                  EccResult::codeError);
        EXPECT_EQ(stored, code);
        EXPECT_EQ(data, clean);
    }
    auto data = clean;
    data[10] ^= 1;
    data[20] ^= 4;
    auto stored = code;
    const auto asRead = data;
    EXPECT_EQ(CorrectSector(data.data(), stored.data(), ComputeSectorEcc(data.data())),
              EccResult::uncorrectable);
    EXPECT_EQ(data, asRead);
}

TEST(FlashEcc, CheckPageHandlesSectorsIndependentlyAndLogsEach)
{
    testsupport::ScopedTestEnv env;
    const std::string log = env.Path("ecc.log");
    OpenLog(std::wstring(log.begin(), log.end()).c_str(), 0, 0, 0);

    const auto clean = MakePage(3);
    auto page = clean;
    page[512 * 1 + 300] ^= 0x10; // sector 1: correctable
    page[4096 + 3 * 2] ^= 0x01;  // sector 2: stored code bit
    page[512 * 3 + 5] ^= 1;      // sector 3: two bits
    page[512 * 3 + 6] ^= 1;
    page[512 * 4 + 9] ^= 0x80; // sector 4: code never programmed
    std::fill(page.begin() + 4096 + 12, page.begin() + 4096 + 15, 0xFF);
    CheckPage(page.data());
    CloseLog();

    EXPECT_TRUE(std::equal(page.begin() + 512, page.begin() + 1024, clean.begin() + 512));
    EXPECT_EQ(page[4096 + 6], clean[4096 + 6]);       // code replaced by the computed one
    EXPECT_NE(page[512 * 3 + 5], clean[512 * 3 + 5]); // uncorrectable: as read
    EXPECT_NE(page[512 * 4 + 9], clean[512 * 4 + 9]); // unchecked
    const auto text = testsupport::ReadFile(log);
    EXPECT_NE(text.find("CVarkDevice::Read: ECC Correctable error"), std::string::npos);
    EXPECT_NE(text.find("CVarkDevice::Read: ECC ECC error"), std::string::npos);
    EXPECT_NE(text.find("E  CVarkDevice::Read: ECC Uncorrectable error"), std::string::npos);

    // The marker's bytes swapped: nothing is checked.
    auto swapped = clean;
    swapped[4096 + 24] = 0x45;
    swapped[4096 + 25] = 0x42;
    swapped[100] ^= 1;
    const auto before = swapped;
    CheckPage(swapped.data());
    EXPECT_EQ(swapped, before);
}

TEST(FlashEcc, RandomSpareBytesNeverReachOutsideTheSector)
{
    // Hostile spare areas: whatever the syndrome, a correction stays within its sector.
    for (unsigned seed = 0; seed < 300; ++seed)
    {
        auto page = RandomBytes(kPageSize, seed);
        page[4096 + 24] = 0x42;
        page[4096 + 25] = 0x45;
        const auto before = page;
        CheckPage(page.data());
        size_t changed = 0;
        for (size_t i = 0; i < 4096; ++i)
            changed += page[i] != before[i];
        EXPECT_LE(changed, 8u);
        EXPECT_TRUE(std::equal(page.begin() + 4096 + 24, page.end(), before.begin() + 4096 + 24));
    }
}

TEST(FlashEcc, EveryTwoBitErrorInASectorIsUncorrectableAndLeftAsRead)
{
    // The code is linear, so the syndrome of two flipped bits is the XOR of their single-bit
    // syndromes; this reaches all 8,386,560 pairs of one sector.
    const auto clean = RandomBytes(512, 11);
    const SectorEcc code = ComputeSectorEcc(clean.data());
    std::vector<SectorEcc> single(4096);
    auto data = clean;
    for (unsigned i = 0; i < 4096; ++i)
    {
        data[i / 8] ^= static_cast<uint8_t>(1u << (i % 8));
        const SectorEcc c = ComputeSectorEcc(data.data());
        data[i / 8] ^= static_cast<uint8_t>(1u << (i % 8));
        for (unsigned k = 0; k < 3; ++k)
            single[i][k] = c[k] ^ code[k];
    }
    // One pair checked against the code of the real two-bit data: byte 1 bit 0 with byte 6
    // bit 7 gives the 12-bit syndrome 3F 00 FC.
    data[1] ^= 0x01;
    data[6] ^= 0x80;
    const SectorEcc both = ComputeSectorEcc(data.data());
    EXPECT_EQ(
        (SectorEcc{static_cast<uint8_t>(both[0] ^ code[0]), static_cast<uint8_t>(both[1] ^ code[1]),
                   static_cast<uint8_t>(both[2] ^ code[2])}),
        (SectorEcc{0x3F, 0x00, 0xFC}));
    auto stored = code;
    auto asRead = data;
    EXPECT_EQ(CorrectSector(data.data(), stored.data(), both), EccResult::uncorrectable);
    EXPECT_EQ(data, asRead);
    EXPECT_EQ(stored, code);

    data = clean;
    size_t wrong = 0, twelve = 0;
    for (unsigned a = 0; a < 4096; ++a)
    {
        data[a / 8] ^= static_cast<uint8_t>(1u << (a % 8));
        for (unsigned b = a + 1; b < 4096; ++b)
        {
            data[b / 8] ^= static_cast<uint8_t>(1u << (b % 8));
            SectorEcc computed;
            int bits = 0;
            for (unsigned k = 0; k < 3; ++k)
            {
                computed[k] = code[k] ^ single[a][k] ^ single[b][k];
                bits += std::popcount(static_cast<unsigned>(single[a][k] ^ single[b][k]));
            }
            stored = code;
            const bool ok =
                CorrectSector(data.data(), stored.data(), computed) == EccResult::uncorrectable;
            // Syndromes of 12 bits are the ones once taken for a single error: check the
            // data byte by byte there.
            if (bits == 12)
            {
                ++twelve;
                data[a / 8] ^= static_cast<uint8_t>(1u << (a % 8));
                data[b / 8] ^= static_cast<uint8_t>(1u << (b % 8));
                if (data != clean) ++wrong;
                data[a / 8] ^= static_cast<uint8_t>(1u << (a % 8));
                data[b / 8] ^= static_cast<uint8_t>(1u << (b % 8));
            }
            if (!ok || stored != code) ++wrong;
            data[b / 8] ^= static_cast<uint8_t>(1u << (b % 8));
        }
        data[a / 8] ^= static_cast<uint8_t>(1u << (a % 8));
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_GT(twelve, 8386560u / 10); // about a fifth of the pairs
}

TEST(FlashEcc, SilenceWithOneFlippedBitIsCorrectedDespiteTheUnprogrammedCode)
{
    testsupport::ScopedTestEnv env;
    const std::string log = env.Path("ecc.log");
    OpenLog(std::wstring(log.begin(), log.end()).c_str(), 0, 0, 0);

    auto clean = MakePage(5);
    std::fill(clean.begin(), clean.begin() + 512, 0x00);        // 16-bit silence
    std::fill(clean.begin() + 512, clean.begin() + 1024, 0xFF); // mu-law silence
    std::fill(clean.begin() + 1024, clean.begin() + 1536, 0x00);
    reference::SealPage(clean.data());
    ASSERT_TRUE(std::all_of(clean.begin() + 4096, clean.begin() + 4096 + 9,
                            [](uint8_t b) { return b == 0xFF; }));
    std::fill(clean.begin() + 4096 + 9, clean.begin() + 4096 + 12, 0xFF); // sector 3 unprogrammed
    auto page = clean;
    page[77] ^= 0x04;        // sector 0: one bit in 0x00 silence
    page[512 + 300] ^= 0x20; // sector 1: one bit in 0xFF silence
    page[1024 + 3] ^= 0x01;  // sector 2: two bits in silence
    page[1024 + 400] ^= 0x40;
    page[1536 + 8] ^= 0x01; // sector 3: data that is no silence, code unprogrammed
    CheckPage(page.data());
    CloseLog();

    EXPECT_TRUE(std::equal(page.begin(), page.begin() + 1024, clean.begin()));
    EXPECT_EQ(page[1024 + 3], 0x01);
    EXPECT_EQ(page[1024 + 400], 0x40);
    EXPECT_NE(page[1536 + 8], clean[1536 + 8]);
    EXPECT_TRUE(std::equal(page.begin() + 4096, page.end(), clean.begin() + 4096));
    const auto text = testsupport::ReadFile(log);
    size_t found = 0;
    for (size_t at = text.find("ECC Correctable error"); at != std::string::npos;
         at = text.find("ECC Correctable error", at + 1))
        ++found;
    EXPECT_EQ(found, 2u);
    EXPECT_EQ(text.find("Uncorrectable"), std::string::npos);
}
