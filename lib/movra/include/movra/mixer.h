// OBJ_MIXER (id 0, always on): maps the source's channels onto a stereo pair. Each input
// channel has a mute flag and a left and a right level in percent; one channel may be the
// solo channel, which then is the only one heard. The levels of an n-channel input live in
// the settings file, section "MIXER_MAP_<n>", keys "CHANNEL_<i>_L" / "CHANNEL_<i>_R"
// (default 100): the table is loaded when the input's channel count changes and written
// back when the mixer leaves it for another count.
#pragma once

#include "basix/timer.h"
#include "movra/bobject.h"

#include <string>
#include <vector>

class OBJ_MIXER : public BASEOBJECT
{
public:
    struct CHANNEL
    {
        bool mute = false;
        long left = 100;
        long right = 100;
    };

    explicit OBJ_MIXER(std::string settingsFile);

    void NotifyState() override;
    long Process(SMSG& msg) override;

    // A channel outside the table is refused (journal error line, false) and nothing
    // changes. solo true makes `channel` the solo channel; false clears the solo if it was
    // this channel. Levels are clamped to 0..100.
    bool Set(long channel, bool mute, bool solo, long left, long right);

    const std::vector<CHANNEL>& Channels() const { return channels_; }
    long Solo() const { return solo_; }

private:
    void SwitchChannelCount(unsigned long count);
    void SaveTable() const;
    void Mix(SMSG& msg) const;

    std::string settingsFile_;
    std::vector<CHANNEL> channels_;
    long solo_ = -1;
    TIMER levelTimer_{300};
};
