#include "movra/stretch_engine.h"
#include "test_material/material.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace
{
// A voiced sound: harmonics of f0 with falling amplitudes.
std::vector<int16_t> Voiced(int rate, double f0, size_t n)
{
    std::vector<int16_t> out(n);
    for (size_t i = 0; i < n; ++i)
    {
        double v = 0;
        for (int h = 1; h <= 8; ++h)
            v += std::sin(2 * std::numbers::pi * f0 * h * static_cast<double>(i) / rate + h) / h;
        out[i] = static_cast<int16_t>(std::lround(5000 * v));
    }
    return out;
}

std::vector<int16_t> Stretch(STRETCH_ENGINE& s, const std::vector<int16_t>& in, size_t piece)
{
    std::vector<int16_t> out;
    for (size_t at = 0; at < in.size(); at += piece)
        s.Process(in.data() + at, std::min(piece, in.size() - at), out);
    s.Flush(out);
    return out;
}
} // namespace

TEST(StretchEngine, StepsAreClampedAndSpeedsFollowThePatterns)
{
    STRETCH_ENGINE s;
    s.SetStep(-8);
    EXPECT_EQ(s.Step(), -7);
    s.SetStep(7);
    EXPECT_EQ(s.Step(), 6);
    const double speeds[] = {1.0 / 3, 0.4,     0.5,  4.0 / 7, 2.0 / 3, 0.8, 8.0 / 9,
                             1.0,     8.0 / 7, 1.25, 1.5,     2.0,     2.5, 3.0};
    for (int step = -7; step <= 6; ++step)
        EXPECT_DOUBLE_EQ(STRETCH_ENGINE::SpeedOf(step), speeds[step + 7]) << step;
}

TEST(StretchEngine, PeriodRangeAndRatesThatFitTheBuffer)
{
    STRETCH_ENGINE s;
    EXPECT_EQ(s.MinPeriod(), 25);
    EXPECT_EQ(s.MaxPeriod(), 109);
    ASSERT_TRUE(s.Reinit(8000));
    EXPECT_EQ(s.Window(), 87u + 8 * 20u);
    EXPECT_TRUE(s.Reinit(48000));
    EXPECT_TRUE(s.Reinit(131000));
    EXPECT_FALSE(s.Reinit(140000));
    EXPECT_FALSE(s.Reinit(192000));
    EXPECT_FALSE(s.Reinit(999));
}

TEST(StretchEngine, OutputLengthFollowsTheSpeedOfEveryStep)
{
    const auto speech = material::Speech(8000, 3);
    for (int step = -7; step <= 6; ++step)
    {
        STRETCH_ENGINE s;
        s.Reinit(8000);
        s.SetStep(step);
        const auto out = Stretch(s, speech, 1000);
        const double ratio = static_cast<double>(out.size()) / speech.size();
        EXPECT_NEAR(ratio * STRETCH_ENGINE::SpeedOf(step), 1.0, 0.03) << "step " << step;
    }
}

TEST(StretchEngine, KeepsThePitchOfAVoicedSound)
{
    for (int rate : {8000, 16000})
        for (double f0 : {110.0, 220.0})
        {
            const auto voiced = Voiced(rate, f0, static_cast<size_t>(rate) * 3);
            for (int step : {-7, -3, 2, 4, 6})
            {
                STRETCH_ENGINE s;
                s.Reinit(rate);
                s.SetStep(step);
                const auto out = Stretch(s, voiced, 4096);
                EXPECT_NEAR(material::PitchHz(out, rate) / f0, 1.0, 0.03)
                    << rate << " Hz, f0 " << f0 << ", step " << step;
            }
        }
}

TEST(StretchEngine, BlockSizeDoesNotChangeTheResult)
{
    const auto speech = material::Speech(16000, 1);
    STRETCH_ENGINE a, b;
    a.Reinit(16000);
    b.Reinit(16000);
    a.SetStep(-4);
    b.SetStep(-4);
    const auto whole = Stretch(a, speech, speech.size());
    const auto pieces = Stretch(b, speech, 37);
    EXPECT_EQ(whole, pieces);
}

TEST(StretchEngine, StepZeroPassesEverySampleAndNewStepRestartsThePattern)
{
    const auto voiced = Voiced(8000, 150, 8000);
    STRETCH_ENGINE s;
    s.Reinit(8000);
    EXPECT_EQ(Stretch(s, voiced, 500), voiced);
    // Step 4 drops the first period after a step change, so two runs that change the step
    // at the same place agree.
    STRETCH_ENGINE x, y;
    x.Reinit(8000);
    y.Reinit(8000);
    x.SetStep(4);
    y.SetStep(-2);
    y.SetStep(4);
    EXPECT_EQ(Stretch(x, voiced, 800), Stretch(y, voiced, 800));
}
