// OBJ_AGC (id 2): automatic gain control, one state per channel. This object keeps and
// clamps its level (1..96 dB), reports it, switches on and off and rebuilds for the rate of
// the sound (1000..192000 Hz); messages pass through unchanged until the gain control
// itself arrives with the signal-processing work, behind this same interface.
#pragma once

#include "movra/bobject.h"

class OBJ_AGC : public HISTORY_OBJECT
{
public:
    static constexpr long kMinLevel = 1;
    static constexpr long kMaxLevel = 96;
    static constexpr long kDefaultLevel = 30;
    static constexpr long kMinRate = 1000;
    static constexpr long kMaxRate = 192000;

    OBJ_AGC();

    void NotifyState() override;
    long Process(SMSG& msg) override;
    // LOGIC_ERROR for a rate outside kMinRate..kMaxRate.
    void Reinit() override;

    void SetLevel(long level);
    long Level() const { return level_; }

private:
    long level_ = kDefaultLevel;
};
