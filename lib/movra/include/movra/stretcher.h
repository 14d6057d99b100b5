// OBJ_STRETCHER (id 4): changes the playback speed without changing the pitch by playing
// pitch periods several times or dropping them, after a pattern chosen by the step
// (-7..6). This object keeps and clamps the step, selects the pattern and its speed
// factor, switches itself on for a non-zero step and off for 0, reports the step and
// rebuilds for the rate. It works on the mono mix of the channels and writes the result into
// every channel. Output comes in whole periods, so a message may give nothing yet (REMOVE);
// what is held comes out with the end mark. A rate whose period search does not fit the
// input buffer (above about 131 kHz) passes unchanged.
#pragma once

#include "movra/bobject.h"

#include <memory>

#include <vector>

class OBJ_STRETCHER : public HISTORY_OBJECT
{
public:
    static constexpr long kMinStep = -7;
    static constexpr long kMaxStep = 6;

    OBJ_STRETCHER();
    ~OBJ_STRETCHER() override;

    void NotifyState() override;
    long Process(SMSG& msg) override;
    void Reinit() override;

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
    std::unique_ptr<class STRETCH_ENGINE> engine_;
    bool ready_ = false;
    std::vector<int16_t> mono_;
    std::vector<std::vector<int16_t>> produced_;
};
