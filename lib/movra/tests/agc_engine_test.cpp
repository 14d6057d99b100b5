#include "movra/agc_engine.h"
#include "test_material/material.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
double MeanAbs(const std::vector<int16_t>& x, size_t from, size_t to)
{
    double s = 0;
    for (size_t i = from; i < to; ++i)
        s += std::abs(static_cast<int>(x[i]));
    return s / static_cast<double>(to - from);
}
} // namespace

TEST(AgcEngine, RateBoundsFrameSizeAndStartGain)
{
    AGC_ENGINE agc;
    EXPECT_EQ(agc.Rate(), 8000);
    EXPECT_EQ(agc.FrameSize(), 204u);
    for (int bad : {0, 999, 192001, -8000})
        EXPECT_FALSE(agc.Reinit(bad)) << bad;
    EXPECT_EQ(agc.Rate(), 8000) << "a refused rate leaves the engine as it was";
    const std::pair<int, size_t> sizes[] = {
        {1000, 25}, {16000, 409}, {44100, 1128}, {192000, 4915}};
    for (auto [rate, frame] : sizes)
    {
        ASSERT_TRUE(agc.Reinit(rate));
        EXPECT_EQ(agc.FrameSize(), frame);
        EXPECT_EQ(agc.Latency(), 13 * frame);
        EXPECT_DOUBLE_EQ(agc.Gain(), 0.5);
    }
}

TEST(AgcEngine, LevelSetsGainLimitAndRiseLimit)
{
    AGC_ENGINE agc;
    agc.SetLevel(0);
    EXPECT_EQ(agc.Level(), 1);
    agc.SetLevel(97);
    EXPECT_EQ(agc.Level(), 96);
    agc.SetLevel(30);
    EXPECT_NEAR(agc.MaxGain(), 31.623, 1e-3);
    // 30 dB per second over 39.0625 frames per second.
    EXPECT_NEAR(20 * std::log10(agc.RiseFactor()) * 1000 / 25.6, 30.0, 1e-9);
}

TEST(AgcEngine, GainRisesNoFasterThanTheLimitAndStopsAtIt)
{
    AGC_ENGINE agc;
    agc.SetLevel(20);
    const auto tone = material::Tone(8000, 300, 300, 8000 * 6); // needs 15.7, limit is 10
    std::vector<int16_t> out;
    double previous = agc.Gain();
    double highest = 0;
    for (size_t at = 0; at < tone.size(); at += agc.FrameSize())
    {
        agc.Process(tone.data() + at, std::min(agc.FrameSize(), tone.size() - at), out);
        EXPECT_LE(agc.Gain(), previous * agc.RiseFactor() * (1 + 1e-12));
        previous = agc.Gain();
        highest = std::max(highest, agc.Gain());
    }
    EXPECT_NEAR(highest, 10.0, 1e-9);
    EXPECT_NEAR(agc.Gain(), 10.0, 1e-9);
    // From 0.5 to 10 at 20 dB/s takes 1.3 s: at 1 s the gain is still below.
    AGC_ENGINE early;
    early.SetLevel(20);
    early.Process(tone.data(), 8000, out);
    EXPECT_LT(early.Gain(), 7.0);
    EXPECT_GT(early.Gain(), 3.0);
}

TEST(AgcEngine, BringsSteadySoundToTheTargetFromAboveAndBelow)
{
    for (double amplitude : {200.0, 1500.0, 20000.0})
    {
        AGC_ENGINE agc;
        agc.SetLevel(60);
        const auto tone = material::Tone(16000, 440, amplitude, 16000 * 5);
        std::vector<int16_t> out;
        agc.Process(tone.data(), tone.size(), out);
        ASSERT_EQ(out.size(), tone.size() / agc.FrameSize() * agc.FrameSize());
        EXPECT_NEAR(MeanAbs(out, out.size() - 16000, out.size()), AGC_ENGINE::kTarget, 150)
            << amplitude;
    }
}

TEST(AgcEngine, DoesNotPumpUpBackgroundBetweenSentences)
{
    // Noise needing 40 dB at level 30 (second threshold 31.6) is not chased.
    AGC_ENGINE agc;
    const auto hiss = material::Tone(8000, 1000, 40, 8000 * 4);
    std::vector<int16_t> out;
    agc.Process(hiss.data(), hiss.size(), out);
    EXPECT_LT(agc.Gain(), 1.0);
}

TEST(AgcEngine, OutputIsDelayedByThirteenFramesAndFlushGivesEverythingBack)
{
    AGC_ENGINE agc;
    std::vector<int16_t> in(5000, 0), out;
    in[1234] = 20000;
    agc.Process(in.data(), 1717, out);
    agc.Process(in.data() + 1717, in.size() - 1717, out);
    EXPECT_EQ(out.size(), in.size() / 204 * 204);
    agc.Flush(out);
    ASSERT_EQ(out.size(), in.size() + agc.Latency());
    size_t loudest = 0;
    for (size_t i = 0; i < out.size(); ++i)
        if (std::abs(out[i]) > std::abs(out[loudest])) loudest = i;
    EXPECT_EQ(loudest, 1234 + agc.Latency());
    EXPECT_NE(out[loudest], 0);
    // After a flush the engine starts afresh.
    EXPECT_DOUBLE_EQ(agc.Gain(), 0.5);
    std::vector<int16_t> none;
    agc.Flush(none);
    EXPECT_TRUE(none.empty());
}

TEST(AgcEngine, RaisesQuietSpeechAndNeverLeavesTheRange)
{
    const auto speech = material::Speech(8000, 1);
    std::vector<int16_t> quiet(speech.size()), square(8000 * 3);
    for (size_t i = 0; i < speech.size(); ++i)
        quiet[i] = static_cast<int16_t>(speech[i] / 30);
    for (size_t i = 0; i < square.size(); ++i)
        square[i] = (i / 40) % 2 ? 32767 : -32768;
    AGC_ENGINE agc;
    std::vector<int16_t> out;
    agc.Process(quiet.data(), quiet.size(), out);
    agc.Process(square.data(), square.size(), out);
    agc.SetLevel(96);
    agc.Process(quiet.data(), quiet.size(), out);
    agc.Process(square.data(), square.size(), out);
    agc.Flush(out);
    ASSERT_EQ(out.size(), 2 * (quiet.size() + square.size()) + agc.Latency());
    for (int16_t v : out)
        ASSERT_GE(v, -32766);
    // The quiet speech came out louder than it went in (after the first second).
    const size_t from = 8000 + agc.Latency(), to = quiet.size() + agc.Latency();
    EXPECT_GT(MeanAbs(out, from, to), 4 * MeanAbs(quiet, 8000, quiet.size()));
    // Speech peaks are foreseen and held below full scale, not clipped.
    for (size_t i = from; i < to; ++i)
        ASSERT_LT(std::abs(static_cast<int>(out[i])), 32766) << i;
}

TEST(AgcEngine, IsolatedClickDoesNotDuckTheGain)
{
    AGC_ENGINE agc;
    auto tone = material::Tone(8000, 500, 1000, 8000 * 4);
    std::vector<int16_t> out;
    agc.Process(tone.data(), 8000 * 3, out);
    const double settled = agc.Gain();
    for (int i = 0; i < 60; ++i)
        tone[8000 * 3 + 500 + static_cast<size_t>(i)] = 32767;
    double lowest = settled;
    for (size_t at = 8000 * 3; at < tone.size(); at += 204)
    {
        agc.Process(tone.data() + at, std::min<size_t>(204, tone.size() - at), out);
        lowest = std::min(lowest, agc.Gain());
    }
    EXPECT_GT(lowest, 0.8 * settled);
}
