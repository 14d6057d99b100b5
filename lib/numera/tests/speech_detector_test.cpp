#include "numera/speech_detector.h"
#include "test_material/material.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

size_t Onset(const std::vector<int16_t>& clean)
{
    for (size_t i = 0; i < clean.size(); ++i)
        if (std::abs(clean[i]) > 300) return i;
    return clean.size();
}
} // namespace

TEST(SpeechDetector, FrameSizesByRateAndLowRatesRefused)
{
    SPEECH_DETECTOR d;
    EXPECT_FALSE(d.Reinit(4000));
    EXPECT_FALSE(d.Reinit(0));
    std::vector<int16_t> loud(4000, 20000);
    EXPECT_FALSE(d.Feed(loud.data(), loud.size()));
    const std::pair<int, int> sizes[] = {{4001, 256},   {10000, 256},  {10001, 512},
                                         {16000, 512},  {22050, 1024}, {32000, 1024},
                                         {44100, 2048}, {96000, 2048}};
    for (auto [rate, n] : sizes)
    {
        ASSERT_TRUE(d.Reinit(rate));
        EXPECT_EQ(d.FrameSize(), n) << rate;
    }
}

TEST(SpeechDetector, StaysQuietOnSilenceAndSteadyNoise)
{
    for (int rate : {8000, 16000})
    {
        const size_t n = static_cast<size_t>(rate) * 10;
        const std::vector<std::vector<int16_t>> inputs = {
            std::vector<int16_t>(n, 0), material::ScaledToRms(material::WhiteNoise(n, 5), 300),
            material::ScaledToRms(material::WhiteNoise(n, 6), 8000),
            material::ScaledToRms(material::PinkNoise(n, 7), 2000)};
        for (size_t i = 0; i < inputs.size(); ++i)
        {
            SPEECH_DETECTOR d;
            ASSERT_TRUE(d.Reinit(rate));
            d.SetThreshold(800);
            EXPECT_FALSE(d.Feed(inputs[i].data(), inputs[i].size())) << rate << " input " << i;
            EXPECT_EQ(d.FoundAt(), -1);
        }
    }
}

TEST(SpeechDetector, FindsSpeechAfterNoiseCloseToItsStart)
{
    for (int rate : {8000, 16000})
    {
        const auto speech = material::Speech(rate, 2);
        std::vector<int16_t> clean(static_cast<size_t>(rate) * 5, 0);
        clean.insert(clean.end(), speech.begin(), speech.end());
        const auto noisy = material::MixAtSnr(clean, material::WhiteNoise(clean.size(), 3), 10);
        const auto onset = static_cast<int64_t>(Onset(clean));
        SPEECH_DETECTOR d;
        ASSERT_TRUE(d.Reinit(rate));
        // Fed in odd pieces, as messages come.
        bool found = false;
        for (size_t at = 0; at < noisy.size() && !found; at += 999)
            found = d.Feed(noisy.data() + at, std::min<size_t>(999, noisy.size() - at));
        ASSERT_TRUE(found) << rate;
        EXPECT_GE(d.FoundAt(), onset - rate / 10) << rate;
        EXPECT_LE(d.FoundAt(), onset + rate * 15 / 100) << rate;
        EXPECT_GT(d.LastScore(), 800);
    }
}

TEST(SpeechDetector, HigherThresholdNeedsMoreEvidence)
{
    const int rate = 8000;
    const auto speech = material::Speech(rate, 0);
    std::vector<int16_t> clean(static_cast<size_t>(rate) * 3, 0);
    clean.insert(clean.end(), speech.begin(), speech.end());
    const auto noisy = material::MixAtSnr(clean, material::PinkNoise(clean.size(), 8), 0);
    int64_t at[2];
    int thresholds[2] = {300, 2000};
    for (int i = 0; i < 2; ++i)
    {
        SPEECH_DETECTOR d;
        d.Reinit(rate);
        d.SetThreshold(thresholds[i]);
        d.Feed(noisy.data(), noisy.size());
        at[i] = d.Found() ? d.FoundAt() : static_cast<int64_t>(noisy.size());
    }
    EXPECT_LT(at[0], static_cast<int64_t>(noisy.size()));
    EXPECT_LE(at[0], at[1]);
}
