// What the foot pedals do to the player, as transcription players have it: the middle pedal
// plays while it is held and pauses when it is let go (or, set so, each press plays or
// pauses); the left pedal held goes back and the right one forward, a step every kRepeatMs at
// the set speed (4: a second of the record per quarter second); the left and right pedals
// together switch to the second layer, where they are the previous and the next record, and
// back. Plain C++: times are the caller's milliseconds.
#pragma once

#include "platform/pedals.h"

#include <cstdint>
#include <optional>
#include <vector>

class PedalMapping
{
public:
    static constexpr int kRepeatMs = 250;

    enum class Kind
    {
        kPlay,
        kPause,
        kToggle, // the middle pedal's press when it plays and pauses by presses
        kStep,   // `ms` forward (negative: back)
        kPreviousRecord,
        kNextRecord,
    };
    struct Action
    {
        Kind kind;
        int ms = 0;
        bool operator==(const Action&) const = default;
    };

    // `holdToPlay` false: the middle pedal's presses play and pause. `speed` 2..10.
    PedalMapping(bool holdToPlay, int speed);

    std::vector<Action> Change(const platform::pedals::PedalChange& change, int64_t nowMs);
    // The steps due while the left or right pedal is held.
    std::vector<Action> Tick(int64_t nowMs);
    bool SecondLayer() const { return second_; }

private:
    int StepMs() const { return speed_ * kRepeatMs; }

    const bool holdToPlay_;
    const int speed_;
    bool down_[platform::pedals::kPedals] = {};
    bool second_ = false;
    bool chord_ = false;          // both outer pedals went down: nothing until both are up
    std::optional<int> stepping_; // +1 or -1 while an outer pedal is held in the first layer
    int64_t nextStepMs_ = 0;
};
