#include "transfer/sha1.h"

#include "sha1_blocks.h"

#include <algorithm>
#include <cstring>

namespace vark
{
namespace
{

constexpr uint32_t Rotl(uint32_t x, int n)
{
    return (x << n) | (x >> (32 - n));
}

uint32_t LoadBe32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

} // namespace

void Sha1::Reset()
{
    intermediateHash_[0] = 0x67452301;
    intermediateHash_[1] = 0xEFCDAB89;
    intermediateHash_[2] = 0x98BADCFE;
    intermediateHash_[3] = 0x10325476;
    intermediateHash_[4] = 0xC3D2E1F0;
    lengthLow_ = 0;
    lengthHigh_ = 0;
    messageBlockIndex_ = 0;
    std::memset(messageBlock_, 0, sizeof messageBlock_);
    computed_ = false;
    corrupted_ = Sha1Status::kSuccess;
}

Sha1Status Sha1::Input(const void* data, size_t length)
{
    if (length == 0) return Sha1Status::kSuccess;
    if (data == nullptr) return Sha1Status::kNull;
    if (computed_)
    {
        corrupted_ = Sha1Status::kStateError;
        return corrupted_;
    }
    if (corrupted_ != Sha1Status::kSuccess) return corrupted_;

    // Bit count first, so an overlong message is refused before any of it is hashed.
    const uint64_t before = (uint64_t{lengthHigh_} << 32) | lengthLow_;
    const uint64_t bits = static_cast<uint64_t>(length) << 3;
    if ((length >> 61) != 0 || bits > ~before)
    {
        corrupted_ = Sha1Status::kInputTooLong;
        return corrupted_;
    }
    const uint64_t after = before + bits;
    lengthLow_ = static_cast<uint32_t>(after);
    lengthHigh_ = static_cast<uint32_t>(after >> 32);

    const auto* p = static_cast<const uint8_t*>(data);
    if (messageBlockIndex_ != 0)
    {
        const size_t take = std::min(length, size_t{64} - static_cast<size_t>(messageBlockIndex_));
        std::memcpy(messageBlock_ + messageBlockIndex_, p, take);
        messageBlockIndex_ = static_cast<int16_t>(messageBlockIndex_ + take);
        p += take;
        length -= take;
        if (messageBlockIndex_ < 64) return Sha1Status::kSuccess;
        ProcessBlocks(messageBlock_, 1);
        messageBlockIndex_ = 0;
    }
    // Whole blocks straight from the caller's buffer.
    const size_t blocks = length / 64;
    if (blocks > 0) ProcessBlocks(p, blocks);
    p += blocks * 64;
    length -= blocks * 64;
    std::memcpy(messageBlock_, p, length);
    messageBlockIndex_ = static_cast<int16_t>(length);
    return Sha1Status::kSuccess;
}

Sha1Status Sha1::Result(Sha1Digest& digest)
{
    if (corrupted_ != Sha1Status::kSuccess) return corrupted_;
    if (!computed_)
    {
        PadMessage();
        // The message may be sensitive: clear it once it has been hashed.
        std::memset(messageBlock_, 0, sizeof messageBlock_);
        lengthLow_ = 0;
        lengthHigh_ = 0;
        computed_ = true;
    }
    for (size_t i = 0; i < kSha1DigestSize; ++i)
        digest[i] = static_cast<uint8_t>(intermediateHash_[i >> 2] >> (8 * (3 - (i & 3))));
    return Sha1Status::kSuccess;
}

void Sha1::PadMessage()
{
    messageBlock_[messageBlockIndex_++] = 0x80;
    if (messageBlockIndex_ > 56)
    {
        std::memset(messageBlock_ + messageBlockIndex_, 0,
                    64 - static_cast<size_t>(messageBlockIndex_));
        ProcessBlocks(messageBlock_, 1);
        messageBlockIndex_ = 0;
    }
    std::memset(messageBlock_ + messageBlockIndex_, 0,
                56 - static_cast<size_t>(messageBlockIndex_));
    for (int i = 0; i < 4; ++i)
    {
        messageBlock_[56 + i] = static_cast<uint8_t>(lengthHigh_ >> (24 - 8 * i));
        messageBlock_[60 + i] = static_cast<uint8_t>(lengthLow_ >> (24 - 8 * i));
    }
    ProcessBlocks(messageBlock_, 1);
    messageBlockIndex_ = 0;
}

void Sha1::ProcessBlocks(const uint8_t* data, size_t blocks)
{
    if (sha1_detail::HardwareAvailable())
        sha1_detail::BlocksHardware(intermediateHash_, data, blocks);
    else
        sha1_detail::BlocksPortable(intermediateHash_, data, blocks);
}

namespace sha1_detail
{

void BlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks)
{
    for (; blocks > 0; --blocks, data += 64)
    {
        uint32_t w[80];
        for (int t = 0; t < 16; ++t)
            w[t] = LoadBe32(data + 4 * t);
        for (int t = 16; t < 80; ++t)
            w[t] = Rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

        uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
        const auto round = [&](uint32_t f, uint32_t k, uint32_t wt)
        {
            const uint32_t temp = Rotl(a, 5) + f + e + wt + k;
            e = d;
            d = c;
            c = Rotl(b, 30);
            b = a;
            a = temp;
        };
        for (int t = 0; t < 20; ++t)
            round((b & c) | (~b & d), 0x5A827999, w[t]);
        for (int t = 20; t < 40; ++t)
            round(b ^ c ^ d, 0x6ED9EBA1, w[t]);
        for (int t = 40; t < 60; ++t)
            round((b & c) | (b & d) | (c & d), 0x8F1BBCDC, w[t]);
        for (int t = 60; t < 80; ++t)
            round(b ^ c ^ d, 0xCA62C1D6, w[t]);

        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
    }
}

} // namespace sha1_detail

} // namespace vark
