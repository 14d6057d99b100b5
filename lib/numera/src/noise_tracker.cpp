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
} // namespace

NoiseTracker::NoiseTracker(int bins)
    : noise_(static_cast<size_t>(bins), 0.0), presenceMean_(static_cast<size_t>(bins), 0.0)
{
}

void NoiseTracker::Prime(const std::vector<double>& meanPower)
{
    for (size_t k = 0; k < noise_.size() && k < meanPower.size(); ++k)
        noise_[k] = std::max(meanPower[k], kTiny);
    frames_ = kStartFrames;
}

void NoiseTracker::Update(const std::vector<double>& power, double smoothing)
{
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
    }
}

double PresenceProbability(double gamma)
{
    const double exponent = kXiPresent / (1 + kXiPresent);
    return 1.0 / (1.0 + (1 + kXiPresent) * std::exp(-std::min(gamma * exponent, 700.0)));
}

void CapToBroadband(const std::vector<double>& noise, int halfWidth, double factor,
                    std::vector<double>& capped)
{
    // A bin is compared with the median of each side, leaving out its close neighbours: a
    // tone and its skirt stand high above both sides, while the edge of a band of noise has
    // one side as high as itself and is left alone.
    const int bins = static_cast<int>(noise.size());
    const int gap = 4;
    capped.resize(noise.size());
    std::vector<double> side;
    side.reserve(static_cast<size_t>(halfWidth));
    const auto sideMedian = [&](int from, int to) -> double
    {
        side.clear();
        for (int j = std::max(0, from); j <= std::min(bins - 1, to); ++j)
            side.push_back(noise[static_cast<size_t>(j)]);
        if (side.size() < 3) return -1; // too close to the end of the spectrum to judge
        auto mid = side.begin() + static_cast<std::ptrdiff_t>(side.size() / 2);
        std::nth_element(side.begin(), mid, side.end());
        return *mid;
    };
    for (int k = 0; k < bins; ++k)
    {
        const double low = sideMedian(k - halfWidth, k - gap);
        const double high = sideMedian(k + gap, k + halfWidth);
        const double reference = std::max(low, high);
        const double own = noise[static_cast<size_t>(k)];
        capped[static_cast<size_t>(k)] = reference < 0 ? own : std::min(own, factor * reference);
    }
}
} // namespace numera
