// The time-scale change of OBJ_STRETCHER on the mono mix: pitch periods are cut from the
// signal and, by the step's pattern, played once, several times or dropped, so the speed
// changes and the pitch does not.
//
// Periods run from rate/395 to rate/91 samples (voices of 395 Hz down to 91 Hz); a period ends at
// the zero crossing before the largest peak of the prevailing polarity found between one minimum
// and one maximum period after the previous peak. The polarity is a vote (-1000..1000) moved by one
// per period towards the side whose peak exceeds 1000; the side in use changes when the vote passes
// +-10, so equal peaks on both sides do not make it flap. In speed-up steps the first sample of
// each copied period is smoothed with the last sample written before it; in slow-down steps the
// same is done between repeated copies.
//
// Use: Reinit(rate) (false when the rate is below 1000 Hz or its analysis window does not fit
// the 4096-sample input buffer, about 131 kHz: the object then lets sound through unchanged),
// SetStep, Process for each block (output comes in whole periods, so a block may give nothing
// yet), Flush at the end of the sound. Buffers are fixed: 4096 samples in, 16384 out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class STRETCH_ENGINE
{
public:
    static constexpr size_t kInputSize = 4096;
    static constexpr size_t kOutputSize = 16384;
    static constexpr int kMinStep = -7, kMaxStep = 6;

    STRETCH_ENGINE(); // 10000 Hz, step 0

    bool Reinit(int rate);
    // Clamped to -7..6; restarts the pattern from its first entry.
    void SetStep(int step);
    int Step() const { return step_; }
    // Output speed of a step: entries of its pattern / sum of its positive entries.
    static double SpeedOf(int step);
    // The pattern of a step (clamped): per pitch period, n > 0 plays it n times, -1 drops it.
    static std::vector<int> PatternOf(int step);

    void Process(const int16_t* mono, size_t count, std::vector<int16_t>& out);
    // Cuts and plays what is left in the input buffer; then starts afresh.
    void Flush(std::vector<int16_t>& out);

    int MinPeriod() const { return minPeriod_; }
    int MaxPeriod() const { return maxPeriod_; }
    size_t Window() const { return window_; }

private:
    size_t FindPeriodEnd(size_t available);
    void Vote(size_t length);
    void Play(size_t length, std::vector<int16_t>& out);
    void Unload(std::vector<int16_t>& out);
    void Consume(size_t length);
    void Reset();

    int rate_ = 10000, step_ = 0;
    int minPeriod_ = 0, maxPeriod_ = 0;
    size_t window_ = 0;
    std::array<int16_t, kInputSize> in_{};
    std::array<int16_t, kOutputSize> out_{};
    size_t inFill_ = 0, outFill_ = 0;
    size_t entry_ = 0;
    int vote_ = 0;
    int lastSign_ = 1;
    size_t peakOffset_ = 0; // where the last period's peak lies after the buffer start
    bool haveLast_ = false;
    int16_t last_ = 0;
};
