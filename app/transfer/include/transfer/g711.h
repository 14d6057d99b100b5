// Record samples in 8-bit ITU-T G.711 mu-law: the standard expansion to 16-bit PCM
// (range +/-32124) and the standard compressor (used for the low-level noise of joined
// exports).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vark
{

int16_t MuLawToLinear(uint8_t code);
uint8_t LinearToMuLaw(int16_t sample);

// Expands `count` codes into `out` (room for `count` samples).
void MuLawExpand(const uint8_t* in, size_t count, int16_t* out);
// Compresses `count` samples into `out` (room for `count` bytes).
void MuLawCompress(const int16_t* in, size_t count, uint8_t* out);

} // namespace vark
