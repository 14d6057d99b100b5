#include "noise_tracker.h"

#include <algorithm>
#include <cmath>

namespace numera
{

namespace
{
// The a-priori SNR assumed when speech is present (15 dB) and the prior of presence 0.5.
constexpr double kXiPresent = 31.62;
constexpr double kTiny = 1e-10;
// The rise guard: 8 sub-windows (1.5 to 2.3 s in all). The minimum of a smoothed Gaussian
// noise power over that span lies about 4 dB below its mean; lifted by the
// factor below it mostly stays under the estimate of a steady noise. It acts when the noise
// rises, and under noise in bursts (many talkers), whose quiet spells the presence-driven
// estimate would otherwise undercut several times over.
constexpr int kSubWindows = 8;
constexpr double kRiseSmoothing = 0.7, kMinimumFactor = 1.2;
} // namespace

NoiseTracker::NoiseTracker(int bins, int subFrames)
    : noise_(static_cast<size_t>(bins), 0.0), presenceMean_(static_cast<size_t>(bins), 0.0),
      smooth_(static_cast<size_t>(bins), 0.0), minNow_(static_cast<size_t>(bins), HUGE_VAL),
      minAll_(static_cast<size_t>(bins), HUGE_VAL),
      subMins_(kSubWindows, std::vector<double>(static_cast<size_t>(bins), HUGE_VAL)),
      subLength_(std::max(subFrames, 1))
{
}

void NoiseTracker::FollowMinimum(const std::vector<double>& power)
{
    for (size_t k = 0; k < noise_.size(); ++k)
    {
        smooth_[k] =
            smoothed_ ? kRiseSmoothing * smooth_[k] + (1 - kRiseSmoothing) * power[k] : power[k];
        minNow_[k] = std::min(minNow_[k], smooth_[k]);
    }
    smoothed_ = true;
    if (++subFrames_ < subLength_) return;
    subFrames_ = 0;
    subMins_[subAt_].swap(minNow_);
    subAt_ = (subAt_ + 1) % subMins_.size();
    std::fill(minNow_.begin(), minNow_.end(), HUGE_VAL);
    std::fill(minAll_.begin(), minAll_.end(), HUGE_VAL);
    for (const auto& m : subMins_)
        for (size_t k = 0; k < noise_.size(); ++k)
            minAll_[k] = std::min(minAll_[k], m[k]);
}

void NoiseTracker::Prime(const std::vector<double>& meanPower)
{
    for (size_t k = 0; k < noise_.size() && k < meanPower.size(); ++k)
        noise_[k] = std::max(meanPower[k], kTiny);
    frames_ = kStartFrames;
}

void NoiseTracker::Update(const std::vector<double>& power, double smoothing)
{
    FollowMinimum(power);
    if (frames_ < kStartFrames)
    {
        // Running mean of the first frames.
        ++frames_;
        for (size_t k = 0; k < noise_.size(); ++k)
            noise_[k] += (std::max(power[k], kTiny) - noise_[k]) / frames_;
        return;
    }
    for (size_t k = 0; k < noise_.size(); ++k)
    {
        double p = PresenceProbability(power[k] / std::max(noise_[k], kTiny));
        // A bin that seems to hold speech for too long is more likely noise that has risen:
        // never let the estimate freeze.
        presenceMean_[k] = 0.9 * presenceMean_[k] + 0.1 * p;
        if (presenceMean_[k] > 0.99) p = std::min(p, 0.99);
        const double expected = (1 - p) * power[k] + p * noise_[k];
        noise_[k] = std::max(smoothing * noise_[k] + (1 - smoothing) * expected, kTiny);
        // Until the window has been filled once the minimum is unknown (HUGE_VAL) and ignored.
        if (minAll_[k] < HUGE_VAL) noise_[k] = std::max(noise_[k], kMinimumFactor * minAll_[k]);
    }
}

double PresenceProbability(double gamma)
{
    const double exponent = kXiPresent / (1 + kXiPresent);
    return 1.0 / (1.0 + (1 + kXiPresent) * std::exp(-std::min(gamma * exponent, 700.0)));
}

void BroadbandReference(const std::vector<double>& noise, int halfWidth,
                        std::vector<double>& reference)
{
    // A bin is compared with the median of each side, leaving out its close neighbours
    // (bins 4..halfWidth away): a tone and its skirt stand high above both sides, while the
    // edge of a band of noise has one side as high as itself. Both sides of every bin are
    // windows of the same width, so each window's median is found once.
    const int bins = static_cast<int>(noise.size());
    const int gap = 4, width = std::min(halfWidth - gap + 1, 64);
    std::vector<double> medians(static_cast<size_t>(std::max(bins - width + 1, 0)));
    double window[64];
    for (size_t j = 0; j < medians.size(); ++j)
    {
        std::copy(noise.begin() + static_cast<std::ptrdiff_t>(j),
                  noise.begin() + static_cast<std::ptrdiff_t>(j) + width, window);
        std::nth_element(window, window + width / 2, window + width);
        medians[j] = window[width / 2];
    }
    reference.assign(noise.size(), -1.0);
    for (int k = 0; k < bins; ++k)
    {
        // Windows cut by the end of the spectrum are left out: too little to judge by.
        const int low = k - gap - width + 1, high = k + gap;
        double r = -1;
        if (low >= 0) r = std::max(r, medians[static_cast<size_t>(low)]);
        if (high + width <= bins) r = std::max(r, medians[static_cast<size_t>(high)]);
        reference[static_cast<size_t>(k)] = r;
    }
}

void CapToBroadband(const std::vector<double>& noise, const std::vector<double>& reference,
                    double factor, std::vector<double>& capped)
{
    capped.resize(noise.size());
    for (size_t k = 0; k < noise.size(); ++k)
        capped[k] = reference[k] < 0 ? noise[k] : std::min(noise[k], factor * reference[k]);
}

} // namespace numera
