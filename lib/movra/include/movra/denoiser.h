// OBJ_DENOISER (id 1): broadband noise suppression, one state per channel. This object
// keeps its mode (stored as mode == 1: "Microphone"; otherwise "Telephone line") and level
// (6000..36000, the suppression depth in thousandths of a dB), reports them, switches on and
// off and rebuilds for the rate. The suppressor works in whole frames, so a message may give
// nothing yet (REMOVE); what it holds comes out with the end mark, and its one-frame delay is
// not played, so the output keeps the input's timing. Rates it cannot serve pass unchanged.
#pragma once

#include "movra/held_object.h"

#include <memory>
#include <vector>

namespace numera
{
struct Broadband_noise;
}

class OBJ_DENOISER : public HELD_OBJECT
{
public:
    static constexpr long kMinLevel = 6000;
    static constexpr long kMaxLevel = 36000;
    static constexpr long kDefaultLevel = 20000;

    OBJ_DENOISER();
    ~OBJ_DENOISER() override;

    void NotifyState() override;
    long Process(SMSG& msg) override;
    void Reinit() override;
    bool Ready() const override { return ready_; }

    // Rebuilds the state (Reinit) when something changed.
    void Set(long mode, long level);
    bool Mode() const { return mode_; }
    long Level() const { return level_; }

private:
    bool mode_ = false;
    long level_ = kDefaultLevel;
    std::unique_ptr<numera::Broadband_noise> states_[2]; // left and right
    std::vector<int16_t> buffer_;
    bool ready_ = false; // the states accepted the rate
};
