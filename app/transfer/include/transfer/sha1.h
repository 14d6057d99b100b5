// SHA-1 of FIPS 180-1. The state keeps the layout of the RFC 3174 reference: five state
// words, the bit count in two halves, the block index and block, and the computed and
// corrupted flags. Input after the result has been taken corrupts the state; a corrupted
// state fails every later call until Reset. Blocks go through the processor's SHA
// instructions where it has them, else through the portable code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vark
{

inline constexpr size_t kSha1DigestSize = 20;
using Sha1Digest = std::array<uint8_t, kSha1DigestSize>;

enum class Sha1Status
{
    kSuccess = 0,
    kNull,         // null data pointer with a non-zero length
    kInputTooLong, // more than 2^64 - 1 bits
    kStateError,   // input after the result was taken
};

class Sha1
{
public:
    Sha1() { Reset(); }

    void Reset();
    Sha1Status Input(const void* data, size_t length);
    // Pads and finishes on the first call; later calls return the same digest.
    Sha1Status Result(Sha1Digest& digest);

    bool Corrupted() const { return corrupted_ != Sha1Status::kSuccess; }

private:
    void ProcessBlocks(const uint8_t* data, size_t blocks);
    void PadMessage();

    uint32_t intermediateHash_[5];
    uint32_t lengthLow_;  // bits, low half
    uint32_t lengthHigh_; // bits, high half
    int16_t messageBlockIndex_;
    uint8_t messageBlock_[64];
    bool computed_;
    Sha1Status corrupted_;
};

} // namespace vark
