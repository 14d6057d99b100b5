// The frame of the objects that hold sound back in one state per channel (AGC, denoiser):
// up to two channels (the mixer always makes two); an end mark, even an empty one, carries
// out what is held before the history goes; a state's initial delay is not played, so the
// output keeps the input's timing and each message starts where the one before it ended.
#pragma once

#include "movra/bobject.h"

#include <cstdint>
#include <vector>

class HELD_OBJECT : public HISTORY_OBJECT
{
protected:
    HELD_OBJECT(long id, long defaultRate) : HISTORY_OBJECT(id, defaultRate), produced_(2) {}

    // Readies `msg` for the states; false when it goes on untouched (TONEXT): the object is
    // off, the states cannot serve the rate (Ready false after the rebuild) or the channel
    // count, or an end mark comes with nothing held. May rebuild the states (Reinit).
    bool Admit(SMSG& msg);
    // Whether the states accepted the current rate.
    virtual bool Ready() const { return true; }
    // Puts what the states produced for `msg` (in produced_, one run per channel, the delay
    // still to drop included) into it and answers TONEXT, or REMOVE when nothing came out
    // yet. At the end mark the states are rebuilt.
    long Deliver(SMSG& msg);
    // For the object's Reinit: the delay of each state, and forget the timing.
    void Restart(size_t delay0, size_t delay1);

    std::vector<std::vector<int16_t>> produced_;

private:
    size_t skip_[2] = {0, 0};
    RNUMBER64 next_; // start time of the next sample to come out
    bool started_ = false;
    unsigned long channels_ = 2; // of the sound held
};
