#include "speech_references.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace reference
{

namespace
{

using Sample = soundtouch::SAMPLETYPE;
// The library is built for float or for 16-bit samples.
constexpr double kScale = std::is_integral_v<Sample> ? 1.0 : 32768.0;

} // namespace

std::vector<int16_t> TouchTempo(const std::vector<int16_t>& in, int rate, double speed)
{
    soundtouch::SoundTouch st;
    st.setSampleRate(static_cast<unsigned>(rate));
    st.setChannels(1);
    st.setTempo(speed);
    std::vector<Sample> piece(static_cast<size_t>(rate / 10));
    std::vector<Sample> got(16384);
    std::vector<int16_t> out;
    const auto drain = [&]
    {
        for (;;)
        {
            const unsigned n = st.receiveSamples(got.data(), static_cast<unsigned>(got.size()));
            if (n == 0) break;
            for (unsigned i = 0; i < n; ++i)
                out.push_back(static_cast<int16_t>(std::lround(
                    std::clamp(static_cast<double>(got[i]) * kScale, -32768.0, 32767.0))));
        }
    };
    for (size_t at = 0; at < in.size(); at += piece.size())
    {
        const size_t n = std::min(piece.size(), in.size() - at);
        for (size_t i = 0; i < n; ++i)
            piece[i] = static_cast<Sample>(in[at + i] / kScale);
        st.putSamples(piece.data(), static_cast<unsigned>(n));
        drain();
    }
    st.flush();
    drain();
    return out;
}

} // namespace reference
