// OBJ_SPEECHSEARCH (id 3): when the host switches it on, playback skips sound until speech
// starts, and then the object switches itself off. This object keeps and clamps its
// threshold (300..2000), reports it, switches on and off, removes empty messages and at the
// end mark flushes and switches itself off; messages pass through unchanged until the
// detector itself arrives with the signal-processing work, behind this same interface.
#pragma once

#include "movra/bobject.h"

class OBJ_SPEECHSEARCH : public HISTORY_OBJECT
{
public:
    static constexpr long kMinThreshold = 300;
    static constexpr long kMaxThreshold = 2000;
    static constexpr long kDefaultThreshold = 800;

    OBJ_SPEECHSEARCH();

    void NotifyState() override;
    // Tells the host first (OnObject id 3, 0): the object switches itself off.
    void Disable() override;
    long Process(SMSG& msg) override;
    void Reinit() override {}

    void SetThreshold(long threshold);
    long Threshold() const { return threshold_; }

private:
    long threshold_ = kDefaultThreshold;
};
