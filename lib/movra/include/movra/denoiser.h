// OBJ_DENOISER (id 1): broadband noise suppression, one state per channel. This object
// keeps its mode (stored as mode == 1) and level (6000..36000, the suppression depth in
// thousandths), reports them, switches on and off and rebuilds for the rate; messages pass
// through unchanged until the suppressor itself arrives with the signal-processing work,
// behind this same interface.
#pragma once

#include "movra/bobject.h"

class OBJ_DENOISER : public HISTORY_OBJECT
{
public:
    static constexpr long kMinLevel = 6000;
    static constexpr long kMaxLevel = 36000;
    static constexpr long kDefaultLevel = 20000;

    OBJ_DENOISER();

    void NotifyState() override;
    long Process(SMSG& msg) override;
    void Reinit() override {}

    // Rebuilds the state (Reinit) when something changed.
    void Set(long mode, long level);
    bool Mode() const { return mode_; }
    long Level() const { return level_; }

private:
    bool mode_ = false;
    long level_ = kDefaultLevel;
};
