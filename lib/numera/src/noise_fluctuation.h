// How much the noise fluctuates, judged by how far its long-term mean power lies above the
// tracker's estimate. The tracker follows a steady noise closely (the ratio stays near 1.25
// for Gaussian noise) but lies low under a noise with bursts, such as many talkers at once,
// whose peaks it takes for speech. The quietest bins are judged (the tenth of the bins with
// the lowest ratio), where the speech adds least.
#pragma once

#include <vector>

namespace numera
{

class NoiseFluctuation
{
public:
    explicit NoiseFluctuation(int bins);

    // One frame's power per bin and the noise estimate that was used for it.
    void Update(const std::vector<double>& power, const std::vector<double>& noise);
    // Mean power over mean noise estimate, at the lowest tenth of the bins.
    double Ratio() const { return ratio_; }
    // 1 while the noise is steady, falling to 0 as the ratio rises from 2.3 to 3.
    double Steadiness() const;

private:
    std::vector<double> meanPower_, meanNoise_, ratios_;
    double ratio_ = 0;
    long frames_ = 0;
};

} // namespace numera
