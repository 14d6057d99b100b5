// G.711 mu-law as the recorder stores compressed records: one byte per sample, the classic
// biased segment encoding with all bits inverted. Kept here so the recorder stand-in needs
// nothing of the program; the program has its own G.711 code.
#pragma once

#include <cstdint>

namespace recorder
{

inline uint8_t MulawEncode(int16_t pcm)
{
    constexpr int kBias = 0x84;
    constexpr int kClip = 32635;
    int sample = pcm;
    const int sign = sample < 0 ? 0x80 : 0;
    if (sample < 0) sample = -sample;
    if (sample > kClip) sample = kClip;
    sample += kBias;
    int exponent = 7;
    for (int mask = 0x4000; (sample & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (sample >> (exponent + 3)) & 0x0F;
    return static_cast<uint8_t>(~(sign | (exponent << 4) | mantissa));
}

inline int16_t MulawDecode(uint8_t code)
{
    const int u = ~code & 0xFF;
    const int exponent = (u >> 4) & 0x07;
    const int mantissa = u & 0x0F;
    const int magnitude = (((mantissa << 3) + 0x84) << exponent) - 0x84;
    return static_cast<int16_t>((u & 0x80) ? -magnitude : magnitude);
}

} // namespace recorder
