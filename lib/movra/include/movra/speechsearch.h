// OBJ_SPEECHSEARCH (id 3): when the host switches it on, playback skips sound until speech
// starts, and then the object switches itself off. This object keeps and clamps its
// threshold (300..2000), reports it, switches on and off, removes empty messages and at the
// end mark flushes and switches itself off. While it searches, each message's mono mix goes
// to the speech detector: until speech is found the message goes on emptied (nothing of it
// is heard); the message in which speech is found goes on whole and the object switches
// itself off. At rates the detector refuses (4000 Hz and below) it switches itself off too.
#pragma once

#include "movra/bobject.h"

#include <memory>
#include <vector>

class SPEECH_DETECTOR;

class OBJ_SPEECHSEARCH : public HISTORY_OBJECT
{
public:
    static constexpr long kMinThreshold = 300;
    static constexpr long kMaxThreshold = 2000;
    static constexpr long kDefaultThreshold = 800;

    OBJ_SPEECHSEARCH();
    ~OBJ_SPEECHSEARCH() override;

    void NotifyState() override;
    // Tells the host first (OnObject id 3, 0): the object switches itself off.
    void Disable() override;
    long Process(SMSG& msg) override;
    void Reinit() override;

    void SetThreshold(long threshold);
    long Threshold() const { return threshold_; }

private:
    long threshold_ = kDefaultThreshold;
    std::unique_ptr<SPEECH_DETECTOR> detector_;
    bool ready_ = false; // the detector accepted the rate
    std::vector<int16_t> mono_;
};
