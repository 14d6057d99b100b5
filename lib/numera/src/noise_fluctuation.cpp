#include "noise_fluctuation.h"

#include <algorithm>

namespace numera
{

namespace
{
constexpr double kMemory = 0.99; // per frame: about 1.6 s at 16 ms frames
constexpr double kSteadyBelow = 2.3, kFluctuatingAbove = 3.0;
constexpr double kTiny = 1e-10;
} // namespace

NoiseFluctuation::NoiseFluctuation(int bins)
    : meanPower_(static_cast<size_t>(bins), 0.0), meanNoise_(static_cast<size_t>(bins), 0.0),
      ratios_(static_cast<size_t>(bins), 0.0)
{
}

void NoiseFluctuation::Update(const std::vector<double>& power, const std::vector<double>& noise)
{
    const size_t bins = std::min({meanPower_.size(), power.size(), noise.size()});
    for (size_t k = 0; k < bins; ++k)
    {
        meanPower_[k] = kMemory * meanPower_[k] + (1 - kMemory) * power[k];
        meanNoise_[k] = kMemory * meanNoise_[k] + (1 - kMemory) * noise[k];
    }
    // The means move slowly: the percentile is taken again every fourth frame.
    if (frames_++ % 4 != 0 || bins == 0) return;
    for (size_t k = 0; k < bins; ++k)
        ratios_[k] = meanPower_[k] / std::max(meanNoise_[k], kTiny);
    const auto tenth = ratios_.begin() + static_cast<std::ptrdiff_t>(bins / 10);
    std::nth_element(ratios_.begin(), tenth, ratios_.begin() + static_cast<std::ptrdiff_t>(bins));
    ratio_ = *tenth;
}

double NoiseFluctuation::Steadiness() const
{
    return std::clamp((kFluctuatingAbove - ratio_) / (kFluctuatingAbove - kSteadyBelow), 0.0, 1.0);
}

} // namespace numera
