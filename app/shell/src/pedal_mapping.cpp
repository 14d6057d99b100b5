#include "pedal_mapping.h"

#include <algorithm>

using platform::pedals::kLeft;
using platform::pedals::kMiddle;
using platform::pedals::kRight;

PedalMapping::PedalMapping(bool holdToPlay, int speed)
    : holdToPlay_(holdToPlay), speed_(std::clamp(speed, 2, 10))
{
}

std::vector<PedalMapping::Action> PedalMapping::Change(const platform::pedals::PedalChange& c,
                                                       int64_t nowMs)
{
    std::vector<Action> actions;
    if (down_[c.pedal] == c.down) return actions;
    down_[c.pedal] = c.down;
    if (c.pedal == kMiddle)
    {
        if (holdToPlay_)
            actions.push_back({c.down ? Kind::kPlay : Kind::kPause});
        else if (c.down)
            actions.push_back({Kind::kToggle});
        return actions;
    }
    const int direction = c.pedal == kLeft ? -1 : 1;
    if (c.down && down_[kLeft] && down_[kRight])
    {
        // the two together: the other layer, and no steps or records from this press
        second_ = !second_;
        chord_ = true;
        stepping_.reset();
        return actions;
    }
    if (chord_)
    {
        if (!down_[kLeft] && !down_[kRight]) chord_ = false;
        return actions;
    }
    if (second_)
    {
        if (c.down) actions.push_back({direction < 0 ? Kind::kPreviousRecord : Kind::kNextRecord});
        return actions;
    }
    if (c.down)
    {
        stepping_ = direction;
        nextStepMs_ = nowMs + kRepeatMs;
        actions.push_back({Kind::kStep, direction * StepMs()});
    }
    else if (stepping_ == direction)
        stepping_.reset();
    return actions;
}

std::vector<PedalMapping::Action> PedalMapping::Tick(int64_t nowMs)
{
    std::vector<Action> actions;
    if (!stepping_) return actions;
    // a late tick does not make up for the steps it missed: the record would jump
    if (nowMs >= nextStepMs_)
    {
        actions.push_back({Kind::kStep, *stepping_ * StepMs()});
        nextStepMs_ = nowMs + kRepeatMs;
    }
    return actions;
}
