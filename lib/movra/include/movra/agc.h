// OBJ_AGC (id 2): automatic gain control, one state per channel. This object keeps and
// clamps its level (1..96 dB), reports it, switches on and off and rebuilds for the rate of
// the sound (1000..192000 Hz). The gain works in whole frames and looks 13 frames ahead, so
// a message may give nothing yet (REMOVE); what it holds comes out with the end mark. The
// output keeps the input's timing: the engine's initial delay is not played.
#pragma once

#include "movra/held_object.h"

#include <memory>
#include <vector>

class AGC_ENGINE;

class OBJ_AGC : public HELD_OBJECT
{
public:
    static constexpr long kMinLevel = 1;
    static constexpr long kMaxLevel = 96;
    static constexpr long kDefaultLevel = 30;
    static constexpr long kMinRate = 1000;
    static constexpr long kMaxRate = 192000;

    OBJ_AGC();
    ~OBJ_AGC() override;

    void NotifyState() override;
    long Process(SMSG& msg) override;
    // LOGIC_ERROR for a rate outside kMinRate..kMaxRate.
    void Reinit() override;

    void SetLevel(long level);
    long Level() const { return level_; }

private:
    long level_ = kDefaultLevel;
    std::unique_ptr<AGC_ENGINE> engines_[2]; // left and right
};
