#include "platform/s16_resampler.h"

#include <algorithm>

extern "C"
{
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

namespace platform
{

S16Resampler::~S16Resampler()
{
    swr_free(&swr_);
}

void S16Resampler::SetOutput(int rate, int channels)
{
    Reset();
    rate_ = rate;
    channels_ = channels;
}

void S16Resampler::Reset()
{
    swr_free(&swr_);
    inFormat_ = -1;
    inRate_ = 0;
    inChannels_ = 0;
}

bool S16Resampler::SetUp(const AVFrame& fr)
{
    AVChannelLayout in{};
    if (fr.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&in, fr.ch_layout.nb_channels);
    else
        av_channel_layout_copy(&in, &fr.ch_layout);
    AVChannelLayout out{};
    av_channel_layout_default(&out, channels_);
    swr_free(&swr_);
    const int rc =
        swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_S16, rate_, &in,
                            static_cast<AVSampleFormat>(fr.format), fr.sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (rc < 0 || swr_init(swr_) < 0)
    {
        Reset();
        return false;
    }
    inFormat_ = fr.format;
    inRate_ = fr.sample_rate;
    inChannels_ = fr.ch_layout.nb_channels;
    return true;
}

void S16Resampler::Convert(const uint8_t** in, int frames, std::vector<uint8_t>& out)
{
    if (!swr_) return;
    const int room = swr_get_out_samples(swr_, frames);
    if (room <= 0) return;
    const size_t frameBytes = static_cast<size_t>(channels_) * 2;
    const size_t old = out.size();
    out.resize(old + static_cast<size_t>(room) * frameBytes);
    uint8_t* dst = out.data() + old;
    const int got = swr_convert(swr_, &dst, room, in, frames);
    out.resize(old + static_cast<size_t>(std::max(got, 0)) * frameBytes);
}

bool S16Resampler::Append(const AVFrame& fr, std::vector<uint8_t>& out)
{
    if (fr.nb_samples <= 0) return true;
    if (!swr_ || inFormat_ != fr.format || inRate_ != fr.sample_rate ||
        inChannels_ != fr.ch_layout.nb_channels)
    {
        if (!SetUp(fr)) return false;
    }
    Convert(const_cast<const uint8_t**>(fr.extended_data), fr.nb_samples, out);
    return true;
}

void S16Resampler::Drain(std::vector<uint8_t>& out)
{
    Convert(nullptr, 0, out);
    Reset();
}

} // namespace platform
