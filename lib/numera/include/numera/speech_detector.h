// The speech detector of the player's speech search (OBJ_SPEECHSEARCH) and of the waveform's
// speech segments (numera/waveform_peaks.h): tells when speech starts in a mono signal.
//
// Frames of N samples (256 up to 10000 Hz, 512 up to 16000, 1024 up to 32000, 2048 above),
// advancing by N/2, get a Hann window and an FFT; the log power ln(|X|^2 + 0.01) of each bin
// is weighted towards 100..1400 Hz and transformed again, which keeps the envelope of the log
// spectrum and drops its fine, noisy detail (liftering). Per bin of 100..1400 Hz the detector
// follows the deviation of that envelope from its long-run mean with a fast running average S
// and a slow running average L of its magnitude: steady noise of any level keeps S / L near 0,
// a voice rising out of it drives S / L well above 1. Speech is found when 100 x the sum of
// max(0, S / (L + 0.005) - 1.3) exceeds the threshold.
//
// Use: Reinit(rate) (false at 4000 Hz and below: the object then lets sound through), then
// Feed blocks of the mono mix until it answers true; FoundAt says where. Rearm looks for the
// next start with what was learnt of the background kept.
#pragma once

#include "numera/fft.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class SPEECH_DETECTOR
{
public:
    static constexpr int kMinThreshold = 300, kMaxThreshold = 2000;

    SPEECH_DETECTOR();

    bool Reinit(int rate);
    // Clamped to 300..2000; takes effect with the next frame.
    void SetThreshold(int threshold);

    // Analyses the samples; true when speech has been found (in this block or before).
    bool Feed(const int16_t* mono, size_t count);

    bool Found() const { return found_; }
    // Looks for the next start: the background and the sample count run on.
    void Rearm()
    {
        found_ = false;
        foundAt_ = -1;
    }
    // Index (counted from Reinit) of the first sample of the frame in which speech was found.
    int64_t FoundAt() const { return foundAt_; }
    // 100 x the sum of the last frame, the number compared with the threshold.
    double LastScore() const { return score_; }
    int FrameSize() const { return n_; }

private:
    void Analyse();

    int rate_ = 0, n_ = 0, threshold_ = 800;
    int lowBin_ = 0, highBin_ = 0, lifter_ = 0;
    numera::SOR_TWIDDLE fft_;
    std::vector<double> window_, weight_, spectrum_, mean_, fast_, slow_;
    std::vector<int16_t> frame_; // the last N samples
    size_t fill_ = 0;
    int64_t consumed_ = 0; // samples taken since Reinit
    int frames_ = 0;
    bool found_ = false;
    int64_t foundAt_ = -1;
    double score_ = 0;
};
