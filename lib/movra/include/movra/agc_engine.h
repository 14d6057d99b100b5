// The gain control of one channel, as OBJ_AGC runs it (one engine per channel).
//
// Sound goes through in frames of rate x 25.6 ms. Each frame is measured when it arrives and
// leaves 13 frames later, so the gain can drop before a loud passage reaches the output. The
// gain aims at a mean absolute amplitude of 3000, never exceeds 10^(level/20), rises by at
// most `level` dB per second and starts at 0.5; what is written is limited to -32766..32767.
//
// Use: Reinit(rate) for each new rate (false outside 1000..192000 Hz: the object throws
// LOGIC_ERROR), SetLevel when the parameter changes, Process for every block (output comes in
// whole frames, so a block may give nothing yet), Flush at the end of the sound for what is
// still held. The first Latency() output samples are the silence the delay line starts with.
// Buffers are fixed per rate: Process allocates only when `out` must grow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class AGC_ENGINE
{
public:
    static constexpr int kMinRate = 1000;
    static constexpr int kMaxRate = 192000;
    static constexpr int kDelayFrames = 14; // the frame measured and 13 waiting to go out
    static constexpr int kEnvelopeHalves = 50;
    static constexpr double kTarget = 3000;
    static constexpr double kStartGain = 0.5;

    AGC_ENGINE(); // 8000 Hz, level 30 dB

    bool Reinit(int rate);
    // Level in dB, clamped to 1..96; recomputes the limits, keeps the history.
    void SetLevel(int levelDb);

    void Process(const int16_t* in, size_t count, std::vector<int16_t>& out);
    // Writes what is still held (the 13 frames waiting in the delay line, then the partial
    // frame) so that output = Latency() + input; then starts afresh as after Reinit.
    void Flush(std::vector<int16_t>& out);

    int Rate() const { return rate_; }
    int Level() const { return level_; }
    size_t FrameSize() const { return frame_; }
    size_t Latency() const { return frame_ * (kDelayFrames - 1); }
    double Gain() const { return gain_; }
    double MaxGain() const { return maxGain_; }
    double RiseFactor() const { return rise_; }

private:
    void Reset();
    void Frame(std::vector<int16_t>& out, size_t keep);
    double ChooseGain();

    int rate_ = 8000;
    int level_ = 30;
    size_t frame_ = 0;
    double maxGain_ = 0, rise_ = 0, quietThreshold_ = 0;

    std::vector<int16_t> delay_;   // kDelayFrames frames, a ring
    std::vector<int16_t> partial_; // the frame being filled
    size_t partialFill_ = 0;
    size_t newest_ = 0; // ring slot of the newest frame
    double envelope_[kEnvelopeHalves] = {};
    int peaks_[kDelayFrames] = {}; // largest |sample| of each frame in the delay line
    size_t realFrames_ = 0;        // frames in the delay line that hold real input
    double gain_ = kStartGain, applied_ = kStartGain;
    int quietFrames_ = 0; // frames in a row judged background
};
