#include "numera/window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace numera;

TEST(HannWindow, PeriodicValuesAndSeamlessHalfOverlap)
{
    const int n = 256;
    std::vector<double> w(n);
    BuildHannWindow(w.data(), n);
    EXPECT_DOUBLE_EQ(w[0], 0.0);
    EXPECT_DOUBLE_EQ(w[n / 2], 1.0);
    EXPECT_NEAR(w[n / 4], 0.5, 1e-12);
    for (int i = 1; i < n; ++i)
        EXPECT_NEAR(w[static_cast<size_t>(i)], w[static_cast<size_t>(n - i)], 1e-12);
    for (int i = 0; i < n / 2; ++i)
        EXPECT_NEAR(w[static_cast<size_t>(i)] + w[static_cast<size_t>(i + n / 2)], 1.0, 1e-12);
}

TEST(HannWindow, FillBufWindowsSamples)
{
    const int n = 8;
    std::vector<double> w(n), out(n);
    BuildHannWindow(w.data(), n);
    const std::vector<int16_t> in = {1000, -1000, 32767, -32768, 5, 0, 7, -3};
    FillBuf(out.data(), in.data(), w.data(), n);
    for (size_t i = 0; i < in.size(); ++i)
        EXPECT_DOUBLE_EQ(out[i], in[i] * w[i]);
}

TEST(WeightingCurve, FlatInTheBandTaperedOverAnOctaveZeroBeyond)
{
    const int n = 16384, bins = n / 2 + 1;
    const double rate = 16000;
    std::vector<double> c(bins);
    create_temb_correct(c.data(), bins, rate, 100, 1400);
    auto at = [&](double hz) { return c[static_cast<size_t>(hz * n / rate + 0.5)]; };
    EXPECT_DOUBLE_EQ(at(0), 0.0);
    EXPECT_DOUBLE_EQ(at(40), 0.0);
    EXPECT_DOUBLE_EQ(at(3000), 0.0);
    EXPECT_DOUBLE_EQ(at(8000), 0.0);
    for (double hz : {110.0, 500.0, 1000.0, 1390.0})
        EXPECT_DOUBLE_EQ(at(hz), 1.0) << hz;
    // Half way (in octaves) through each taper the weight is one half.
    EXPECT_NEAR(c[static_cast<size_t>(std::lround(70.71 * n / rate))], 0.5, 0.06);
    EXPECT_NEAR(c[static_cast<size_t>(std::lround(1979.9 * n / rate))], 0.5, 0.03);
    // Rising below the band, falling above it, never outside 0..1.
    for (int k = 1; k < bins; ++k)
    {
        const double f = k * rate / n;
        const size_t i = static_cast<size_t>(k);
        EXPECT_GE(c[i], 0.0);
        EXPECT_LE(c[i], 1.0);
        if (f <= 100)
        {
            EXPECT_GE(c[i], c[i - 1]) << f;
        }
        if (f > 1400)
        {
            EXPECT_LE(c[i], c[i - 1]) << f;
        }
    }
}
