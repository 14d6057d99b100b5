#include "speech_references.h"

#include <speex/speex_preprocess.h>

#include <algorithm>
#include <cmath>

namespace reference
{

namespace
{

// The lag (0..maxLag) at which `out` matches `in` best.
size_t DelayOf(const std::vector<int16_t>& in, const std::vector<int16_t>& out, size_t maxLag)
{
    size_t best = 0;
    double top = -1e300;
    for (size_t lag = 0; lag <= maxLag; ++lag)
    {
        double c = 0;
        for (size_t i = 0; i + lag < out.size() && i < in.size(); ++i)
            c += static_cast<double>(in[i]) * out[i + lag];
        if (c > top)
        {
            top = c;
            best = lag;
        }
    }
    return best;
}

} // namespace

std::vector<int16_t> SpeexDenoise(const std::vector<int16_t>& in, int rate, int depthDb)
{
    const int frame = rate / 50;
    SpeexPreprocessState* st = speex_preprocess_state_init(frame, rate);
    int on = 1, off = 0, suppress = -depthDb;
    speex_preprocess_ctl(st, SPEEX_PREPROCESS_SET_DENOISE, &on);
    speex_preprocess_ctl(st, SPEEX_PREPROCESS_SET_NOISE_SUPPRESS, &suppress);
    speex_preprocess_ctl(st, SPEEX_PREPROCESS_SET_AGC, &off);
    speex_preprocess_ctl(st, SPEEX_PREPROCESS_SET_DEREVERB, &off);
    // Two frames of silence after the end carry out what the preprocessor still holds.
    std::vector<int16_t> out(in);
    out.resize((in.size() / static_cast<size_t>(frame) + 3) * static_cast<size_t>(frame), 0);
    for (size_t at = 0; at + static_cast<size_t>(frame) <= out.size();
         at += static_cast<size_t>(frame))
        speex_preprocess_run(st, out.data() + at);
    speex_preprocess_state_destroy(st);
    const size_t delay = DelayOf(in, out, 2 * static_cast<size_t>(frame));
    out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(delay));
    out.resize(in.size());
    return out;
}

} // namespace reference
