// OBJ_STRETCHER (id 4): changes the playback speed without changing the pitch by playing
// pitch periods several times or dropping them, after a pattern chosen by the step
// (-7..6). This object keeps and clamps the step, selects the pattern and its speed
// factor, switches itself on for a non-zero step and off for 0, reports the step and
// rebuilds for the rate; messages pass through unchanged until the period processing itself
// arrives with the signal-processing work, behind this same interface.
#pragma once

#include "movra/bobject.h"

#include <vector>

class OBJ_STRETCHER : public HISTORY_OBJECT
{
public:
    static constexpr long kMinStep = -7;
    static constexpr long kMaxStep = 6;

    OBJ_STRETCHER();

    void NotifyState() override;
    long Process(SMSG& msg) override;
    void Reinit() override {}

    // Clamps, selects the pattern (restarting it) and follows the step: on unless 0.
    void SetStep(long step);
    long Step() const { return step_; }

    // Per pitch period: k >= 1 plays it k times, -1 drops it. Steps outside -7..6 are
    // clamped.
    static const std::vector<int>& Pattern(long step);
    // Number of entries / sum of the positive entries: 2 plays twice as fast.
    static double SpeedFactor(long step);

    size_t PatternIndex() const { return patternIndex_; }

private:
    long step_ = 0;
    size_t patternIndex_ = 0; // the next pattern entry to apply
};
