#include "movra/mixer.h"

#include "faltor/journal.h"
#include "movra/object_ids.h"
#include "movra/sound_level.h"
#include "platform/profile.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace
{

std::string Section(size_t channels)
{
    return "MIXER_MAP_" + std::to_string(channels);
}

std::string Key(size_t channel, char side)
{
    return "CHANNEL_" + std::to_string(channel) + "_" + side;
}

long Clamp100(long v)
{
    return std::clamp(v, 0L, 100L);
}

} // namespace

OBJ_MIXER::OBJ_MIXER(std::string settingsFile)
    : BASEOBJECT(movra_object::OBJ_ID_MIXER), settingsFile_(std::move(settingsFile))
{
}

void OBJ_MIXER::NotifyState()
{
    MOVRA_NOTIFY& host = Host();
    host.OnMixerChannelsCounter(static_cast<long>(channels_.size()));
    for (size_t i = 0; i < channels_.size(); ++i)
        host.OnMixer(static_cast<long>(i), channels_[i].mute, solo_ == static_cast<long>(i),
                     channels_[i].left, channels_[i].right);
}

bool OBJ_MIXER::Set(long channel, bool mute, bool solo, long left, long right)
{
    if (channel < 0 || channel >= static_cast<long>(channels_.size()))
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "OBJ_MIXER::Set: no channel %li (%zu channels)", channel,
                    channels_.size());
        return false;
    }
    if (solo)
        solo_ = channel;
    else if (solo_ == channel)
        solo_ = -1;
    CHANNEL& c = channels_[static_cast<size_t>(channel)];
    c.mute = mute;
    c.left = Clamp100(left);
    c.right = Clamp100(right);
    return true;
}

void OBJ_MIXER::SaveTable() const
{
    const std::string section = Section(channels_.size());
    for (size_t i = 0; i < channels_.size(); ++i)
    {
        platform::ProfileWriteString(settingsFile_, section, Key(i, 'L'),
                                     std::to_string(channels_[i].left));
        platform::ProfileWriteString(settingsFile_, section, Key(i, 'R'),
                                     std::to_string(channels_[i].right));
    }
}

void OBJ_MIXER::SwitchChannelCount(unsigned long count)
{
    if (!channels_.empty()) SaveTable();
    const std::string section = Section(count);
    channels_.assign(count, CHANNEL{});
    for (size_t i = 0; i < count; ++i)
    {
        channels_[i].left =
            Clamp100(platform::ProfileReadInt(settingsFile_, section, Key(i, 'L'), 100));
        channels_[i].right =
            Clamp100(platform::ProfileReadInt(settingsFile_, section, Key(i, 'R'), 100));
    }
    solo_ = -1;
    NotifyState();
}

void OBJ_MIXER::Mix(SMSG& msg) const
{
    const size_t frames = msg.Frames();
    std::vector<int16_t> out(2 * frames, 0);
    int16_t* left = out.data();
    int16_t* right = out.data() + frames;
    if (solo_ >= 0)
    {
        const CHANNEL& c = channels_[static_cast<size_t>(solo_)];
        if (!c.mute)
        {
            const int16_t* in = msg.Channel(static_cast<unsigned long>(solo_));
            for (size_t f = 0; f < frames; ++f)
            {
                left[f] = static_cast<int16_t>(in[f] * c.left / 100);
                right[f] = static_cast<int16_t>(in[f] * c.right / 100);
            }
        }
    }
    else
    {
        // Sums run wide and are limited after every addition, so loud channels clip
        // instead of wrapping.
        std::vector<double> sumL(frames, 0.0), sumR(frames, 0.0);
        for (size_t ch = 0; ch < channels_.size(); ++ch)
        {
            const CHANNEL& c = channels_[ch];
            if (c.mute) continue;
            const int16_t* in = msg.Channel(static_cast<unsigned long>(ch));
            for (size_t f = 0; f < frames; ++f)
            {
                sumL[f] = std::clamp(sumL[f] + in[f] * c.left / 100.0, -32768.0, 32767.0);
                sumR[f] = std::clamp(sumR[f] + in[f] * c.right / 100.0, -32768.0, 32767.0);
            }
        }
        for (size_t f = 0; f < frames; ++f)
        {
            left[f] = static_cast<int16_t>(std::trunc(sumL[f]));
            right[f] = static_cast<int16_t>(std::trunc(sumR[f]));
        }
    }
    msg.channels = 2;
    msg.samples = std::move(out);
}

long OBJ_MIXER::Process(SMSG& msg)
{
    // A message without channels (an empty end mark) says nothing about the layout.
    if (msg.channels != 0 && msg.channels != channels_.size()) SwitchChannelCount(msg.channels);
    if (levelTimer_.PeekTimeMs() >= 300)
    {
        Host().OnMixerChannelsLevel(CalcSndLevel(msg));
        levelTimer_.Restart();
    }
    Mix(msg);
    return TONEXT;
}
