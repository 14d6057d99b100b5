// Per-bin noise power estimate for the suppressor, driven by the probability that speech is
// present (a soft decision per bin, so the estimate keeps moving during speech). A noise that
// rises is followed by its minimum over the last 1.5 s or so: when even the quietest spell
// lies well above the estimate, the estimate is lifted to it.
#pragma once

#include <cstddef>
#include <vector>

namespace numera
{

class NoiseTracker
{
public:
    // `subFrames`: frames in each of the rise guard's sub-windows (12 for frames of 16 ms).
    explicit NoiseTracker(int bins, int subFrames = 12);

    // Frames averaged into the first estimate when no noise sample was given.
    static constexpr int kStartFrames = 6;

    // Starts the estimate from the mean power of frames known to hold noise alone.
    void Prime(const std::vector<double>& meanPower);
    // Updates with one frame's power per bin; `smoothing` is the per-frame memory (0..1).
    void Update(const std::vector<double>& power, double smoothing);
    const std::vector<double>& Noise() const { return noise_; }

private:
    void FollowMinimum(const std::vector<double>& power);

    std::vector<double> noise_, presenceMean_;
    int frames_ = 0;
    // The rise guard: power smoothed over a few frames, its minimum over the sub-window being
    // filled and over each of the last kSubWindows sub-windows.
    std::vector<double> smooth_, minNow_, minAll_;
    std::vector<std::vector<double>> subMins_;
    int subFrames_ = 0, subLength_;
    bool smoothed_ = false;
    std::size_t subAt_ = 0;
};

// Probability that speech is present in a bin whose power is `gamma` times the noise.
double PresenceProbability(double gamma);

// Keeps the estimate broadband: a bin's noise is capped at `factor` times the higher of the
// medians of the bins 4..halfWidth below and above it (its `reference`; -1 where the spectrum
// ends too soon to judge), so a steady tone is not taken for noise while the edges of
// band-limited noise still are.
void BroadbandReference(const std::vector<double>& noise, int halfWidth,
                        std::vector<double>& reference);
void CapToBroadband(const std::vector<double>& noise, const std::vector<double>& reference,
                    double factor, std::vector<double>& capped);

} // namespace numera
