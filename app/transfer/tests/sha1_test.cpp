#include "transfer/sha1.h"

#include "../src/sha1_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace vark;

namespace
{
std::string Hex(const Sha1Digest& d)
{
    std::string out;
    char buf[3];
    for (uint8_t b : d)
    {
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

std::string DigestOf(const std::string& message, size_t piece = 0)
{
    Sha1 sha;
    if (piece == 0) piece = message.size() ? message.size() : 1;
    for (size_t at = 0; at < message.size(); at += piece)
        EXPECT_EQ(sha.Input(message.data() + at, std::min(piece, message.size() - at)),
                  Sha1Status::kSuccess);
    Sha1Digest d{};
    EXPECT_EQ(sha.Result(d), Sha1Status::kSuccess);
    return Hex(d);
}

const std::string kTwoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
} // namespace

TEST(Sha1, PublishedTestVectors)
{
    EXPECT_EQ(DigestOf("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(DigestOf(kTwoBlocks), "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
    EXPECT_EQ(DigestOf(std::string(1000000, 'a')), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
    std::string eights;
    for (int i = 0; i < 80; ++i)
        eights += "01234567";
    EXPECT_EQ(DigestOf(eights), "DEA356A2CDDD90C7A7ECEDC5EBB563934F460452");
    EXPECT_EQ(DigestOf(""), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

TEST(Sha1, FeedingInPiecesGivesTheSameDigest)
{
    // Lengths around the padding edge (55/56 bytes) and the block edge.
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u})
    {
        std::string message;
        for (size_t i = 0; i < length; ++i)
            message += static_cast<char>('a' + i * 7 % 26);
        const std::string whole = DigestOf(message);
        for (size_t piece : {1u, 3u, 63u, 64u, 100u})
            EXPECT_EQ(DigestOf(message, piece), whole) << length << " in " << piece;
    }
    EXPECT_EQ(DigestOf(std::string(1000000, 'a'), 32768),
              "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
}

TEST(Sha1, InputAfterResultCorruptsUntilReset)
{
    Sha1 sha;
    ASSERT_EQ(sha.Input("abc", 3), Sha1Status::kSuccess);
    Sha1Digest first{}, again{};
    ASSERT_EQ(sha.Result(first), Sha1Status::kSuccess);
    ASSERT_EQ(sha.Result(again), Sha1Status::kSuccess);
    EXPECT_EQ(first, again);

    EXPECT_EQ(sha.Input("d", 1), Sha1Status::kStateError);
    EXPECT_TRUE(sha.Corrupted());
    Sha1Digest broken{};
    EXPECT_EQ(sha.Result(broken), Sha1Status::kStateError);
    EXPECT_EQ(sha.Input("d", 1), Sha1Status::kStateError);

    sha.Reset();
    EXPECT_FALSE(sha.Corrupted());
    ASSERT_EQ(sha.Input("abc", 3), Sha1Status::kSuccess);
    ASSERT_EQ(sha.Result(again), Sha1Status::kSuccess);
    EXPECT_EQ(again, first);
}

TEST(Sha1, NullAndEmptyInput)
{
    Sha1 sha;
    EXPECT_EQ(sha.Input(nullptr, 0), Sha1Status::kSuccess);
    EXPECT_EQ(sha.Input(nullptr, 5), Sha1Status::kNull);
    EXPECT_FALSE(sha.Corrupted());
    Sha1Digest d{};
    ASSERT_EQ(sha.Result(d), Sha1Status::kSuccess);
    EXPECT_EQ(Hex(d), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
}

TEST(Sha1, HardwareAndPortableBlocksAgree)
{
    if (!sha1_detail::HardwareAvailable()) GTEST_SKIP() << "no SHA instructions";
    std::vector<uint8_t> data(64 * 37);
    uint32_t seed = 1;
    for (auto& b : data)
        b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    for (size_t blocks : {1u, 2u, 37u})
    {
        uint32_t a[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
        uint32_t b[5];
        std::copy(a, a + 5, b);
        sha1_detail::BlocksPortable(a, data.data(), blocks);
        sha1_detail::BlocksHardware(b, data.data(), blocks);
        EXPECT_TRUE(std::equal(a, a + 5, b)) << blocks;
    }
}
