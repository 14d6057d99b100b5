#include "transfer/g711.h"

#include <array>

namespace vark
{
namespace
{

// Codes are sent inverted; the bias of 33 (x4 in 16-bit units) puts segment ends on powers of 2.
constexpr int kBias = 0x84;
constexpr int kClip = 32635; // largest magnitude whose biased value still fits segment 7

constexpr std::array<int16_t, 256> MakeExpansionTable()
{
    std::array<int16_t, 256> table{};
    for (int code = 0; code < 256; ++code)
    {
        const int u = ~code & 0xFF;
        const int segment = (u >> 4) & 7;
        const int magnitude = ((((u & 0x0F) << 3) + kBias) << segment) - kBias;
        table[static_cast<size_t>(code)] =
            static_cast<int16_t>((u & 0x80) ? -magnitude : magnitude);
    }
    return table;
}

constexpr std::array<int16_t, 256> kExpansion = MakeExpansionTable();

} // namespace

int16_t MuLawToLinear(uint8_t code)
{
    return kExpansion[code];
}

uint8_t LinearToMuLaw(int16_t sample)
{
    int value = sample;
    int mask = 0xFF;
    if (value < 0)
    {
        value = -value;
        mask = 0x7F;
    }
    if (value > kClip) value = kClip;
    value += kBias;
    // Segment = position of the highest set bit above bit 7 of the biased magnitude.
    int segment = 0;
    for (int v = value >> 8; v != 0; v >>= 1)
        ++segment;
    const int code = (segment << 4) | ((value >> (segment + 3)) & 0x0F);
    return static_cast<uint8_t>(code ^ mask);
}

void MuLawExpand(const uint8_t* in, size_t count, int16_t* out)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = kExpansion[in[i]];
}

void MuLawCompress(const int16_t* in, size_t count, uint8_t* out)
{
    for (size_t i = 0; i < count; ++i)
        out[i] = LinearToMuLaw(in[i]);
}

} // namespace vark
