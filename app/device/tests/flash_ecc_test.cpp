#include "device/flash_ecc.h"
#include "device_reference/reference_ecc.h"

#include "scriba/scriba.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace vark;
using vark::reference::ReferenceEcc;

namespace {

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
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
    for (unsigned x = 0; x < 256; ++x) EXPECT_TRUE(kEccParityTable[x] & 0x80);

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
    for (unsigned seed = 0; seed < 200; ++seed) {
        const auto sector = RandomBytes(512, seed);
        ASSERT_EQ(ComputeSectorEcc(sector.data()), ReferenceEcc(sector.data())) << seed;
    }
    // Every single-bit sector, so each address and bit lands in the right parity.
    std::vector<uint8_t> sector(512, 0);
    for (unsigned a = 0; a < 512; ++a)
        for (unsigned b = 0; b < 8; ++b) {
            sector[a] = static_cast<uint8_t>(1u << b);
            ASSERT_EQ(ComputeSectorEcc(sector.data()), ReferenceEcc(sector.data())) << a << ":" << b;
            sector[a] = 0;
        }
}

TEST(FlashEcc, CorrectSectorRepairsEveryKindOfSingleError)
{
    const auto clean = RandomBytes(512, 7);
    const auto code = ReferenceEcc(clean.data());
    for (unsigned a : {0u, 1u, 300u, 511u})
        for (unsigned b = 0; b < 8; ++b) {
            auto data = clean;
            data[a] ^= static_cast<uint8_t>(1u << b);
            auto stored = code;
            EXPECT_EQ(CorrectSector(data.data(), stored.data(), ComputeSectorEcc(data.data())),
                      EccResult::corrected);
            EXPECT_EQ(data, clean) << a << ":" << b;
        }
    for (unsigned bit = 0; bit < 24; ++bit) {
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
    page[512 * 1 + 300] ^= 0x10;               // sector 1: correctable
    page[4096 + 3 * 2] ^= 0x01;                // sector 2: stored code bit
    page[512 * 3 + 5] ^= 1;                    // sector 3: two bits
    page[512 * 3 + 6] ^= 1;
    page[512 * 4 + 9] ^= 0x80;                 // sector 4: code never programmed
    std::fill(page.begin() + 4096 + 12, page.begin() + 4096 + 15, 0xFF);
    CheckPage(page.data());
    CloseLog();

    EXPECT_TRUE(std::equal(page.begin() + 512, page.begin() + 1024, clean.begin() + 512));
    EXPECT_EQ(page[4096 + 6], clean[4096 + 6]); // code replaced by the computed one
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
    for (unsigned seed = 0; seed < 300; ++seed) {
        auto page = RandomBytes(kPageSize, seed);
        page[4096 + 24] = 0x42;
        page[4096 + 25] = 0x45;
        const auto before = page;
        CheckPage(page.data());
        size_t changed = 0;
        for (size_t i = 0; i < 4096; ++i) changed += page[i] != before[i];
        EXPECT_LE(changed, 8u);
        EXPECT_TRUE(std::equal(page.begin() + 4096 + 24, page.end(), before.begin() + 4096 + 24));
    }
}
