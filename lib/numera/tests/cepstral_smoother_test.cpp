#include "../src/cepstral_smoother.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using numera::CepstralSmoother;

namespace
{

// A voiced-like spectrum: harmonics of 200 Hz 30 dB above the floor, sloping down.
std::vector<double> Harmonics(int rate, int n)
{
    std::vector<double> s(static_cast<size_t>(n / 2 + 1));
    for (size_t k = 0; k < s.size(); ++k)
    {
        const double f = static_cast<double>(k) * rate / n;
        const double nearHarmonic = std::abs(std::remainder(f, 200.0)) < 20 ? 1000.0 : 1.0;
        s[k] = nearHarmonic * std::exp(-f / 2000);
    }
    return s;
}

} // namespace

TEST(CepstralSmoother, ASteadySpectrumPassesUnchangedFromTheFirstFrame)
{
    for (const auto& [rate, n] : {std::pair{8000, 512}, std::pair{16000, 1024}})
    {
        CepstralSmoother smoother(rate, n);
        const auto steady = Harmonics(rate, n);
        for (int frame = 0; frame < 20; ++frame)
        {
            auto v = steady;
            smoother.Smooth(v);
            for (size_t k = 0; k < v.size(); ++k)
                ASSERT_NEAR(v[k] / steady[k], 1.0, 1e-9)
                    << rate << " frame " << frame << " bin " << k;
        }
    }
}

TEST(CepstralSmoother, AChancePeakFadesWhileALevelChangeIsFollowedAtOnce)
{
    const int rate = 8000, n = 512;
    CepstralSmoother smoother(rate, n);
    const std::vector<double> flat(static_cast<size_t>(n / 2 + 1), 1.0);
    for (int frame = 0; frame < 30; ++frame)
    {
        auto v = flat;
        smoother.Smooth(v);
    }
    // One bin 30 dB up for one frame: the kind of peak noise makes.
    auto v = flat;
    v[100] = 1000;
    smoother.Smooth(v);
    EXPECT_LT(v[100], 20.0);
    EXPECT_GT(v[100], 1.0);
    // The whole spectrum 20 dB up, in a smoother that has not seen the peak: the envelope
    // moves within the frame.
    CepstralSmoother other(rate, n);
    for (int frame = 0; frame < 30; ++frame)
    {
        v = flat;
        other.Smooth(v);
    }
    v.assign(flat.size(), 100.0);
    other.Smooth(v);
    for (size_t k = 0; k < v.size(); ++k)
        ASSERT_NEAR(v[k], 100.0, 15.0) << k;
}
