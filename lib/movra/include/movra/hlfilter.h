// OBJ_HLFILTER (id 5): a low shelf at 500 Hz and a high shelf at 3000 Hz (slope 1) on every
// channel, gains in dB. The gains are read from the settings file at construction (section
// "HLFILTER", keys "LOW_FREQ_GAIN" and "HIGH_FREQ_GAIN", default 0) and each setter writes
// its key back.
#pragma once

#include "movra/bobject.h"

#include <string>
#include <vector>

// One biquad section in direct form I, coefficients normalised by a0.
struct BIQUAD
{
    enum TYPE
    {
        LOWPASS = 1,
        HIGHPASS = 2,
        BANDPASS = 3, // constant 0 dB peak gain
        NOTCH = 4,
        PEAKING = 5,
        LOWSHELF = 6,
        HIGHSHELF = 7
    };

    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    // The cookbook formulas; `q` is the quality for types 1..5 and the shelf slope for 6
    // and 7. False (nothing changed) for a non-positive frequency, q or rate, or an unknown
    // type.
    bool Design(int type, double frequency, double rate, double gainDb, double q);
    double Step(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
    void ClearHistory() { x1 = x2 = y1 = y2 = 0; }
};

class OBJ_HLFILTER : public BASEOBJECT
{
public:
    static constexpr double kLowShelfHz = 500.0;
    static constexpr double kHighShelfHz = 3000.0;

    explicit OBJ_HLFILTER(std::string settingsFile);

    void NotifyState() override;
    long Process(SMSG& msg) override;

    void SetLowGain(double gainDb);
    void SetHighGain(double gainDb);
    double LowGain() const { return lowGain_; }
    double HighGain() const { return highGain_; }

private:
    void Rebuild(long rate, unsigned long channels);
    void Redesign();

    std::string settingsFile_;
    double lowGain_ = 0;
    double highGain_ = 0;
    long rate_ = 11025;
    unsigned long channels_ = 2;
    std::vector<BIQUAD> low_;  // per channel
    std::vector<BIQUAD> high_; // per channel
};
