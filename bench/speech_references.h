// The yardsticks of the speech processing benchmark, each built only when its library is
// installed (BENCH_HAVE_SPEEXDSP, BENCH_HAVE_SOUNDTOUCH): speexdsp's preprocessor for noise
// suppression and SoundTouch for tempo change. Never part of the product.
#pragma once

#include <cstdint>
#include <vector>

namespace reference
{

// speexdsp's preprocessor with only its noise suppression on, at `depthDb` of suppression
// (SPEEX_PREPROCESS_SET_NOISE_SUPPRESS = -depthDb), in 20 ms frames; the output is shifted by
// the preprocessor's delay so that it lines up with the input.
std::vector<int16_t> SpeexDenoise(const std::vector<int16_t>& in, int rate, int depthDb);

// SoundTouch's tempo change by `speed` (pitch kept), mono, fed in 100 ms pieces and flushed.
std::vector<int16_t> TouchTempo(const std::vector<int16_t>& in, int rate, double speed);

} // namespace reference
