#include "../src/noise_fluctuation.h"
#include "../src/noise_tracker.h"
#include "numera/clear_voice.h"
#include "test_material/material.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace numera;

namespace
{

struct Suppressor
{
    Suppressor(int rate, int depth, int option, const std::vector<int16_t>* primer = nullptr)
    {
        EXPECT_EQ(init_clear_voice_struct(&state, rate, 1), CLEAR_VOICE_OK);
        state.suppression_depth = depth;
        state.option_flag = option;
        EXPECT_EQ(clear_voice_start(&state, primer ? primer->data() : nullptr,
                                    primer ? static_cast<int>(primer->size()) : 0, &latency),
                  CLEAR_VOICE_OK);
    }
    ~Suppressor() { clear_voice_finish(&state, nullptr, nullptr); }

    // Feeds `in` in pieces of `piece` samples the way the player does, then the held tail;
    // drops the latency so the result lines up with the input.
    std::vector<int16_t> Run(const std::vector<int16_t>& in, size_t piece = 333)
    {
        std::vector<int16_t> out;
        std::vector<int16_t> buffer;
        for (size_t at = 0; at < in.size(); at += piece)
        {
            const int count = static_cast<int>(std::min(piece, in.size() - at));
            buffer.assign((static_cast<size_t>(count) / state.frame + 2) * state.frame, 0);
            int done = 0, made = 0;
            while (done < count && buffer.size() - made >= static_cast<size_t>(state.frame))
            {
                int used = 0, produced = 0;
                EXPECT_EQ(clear_voice_process(&state, in.data() + at + done, count - done, &used,
                                              buffer.data() + made, &produced),
                          CLEAR_VOICE_OK);
                EXPECT_TRUE(produced == 0 || produced == state.frame);
                done += used;
                made += produced;
            }
            EXPECT_EQ(done, count);
            out.insert(out.end(), buffer.begin(), buffer.begin() + made);
        }
        std::vector<int16_t> tail(2 * static_cast<size_t>(state.frame));
        int produced = 0;
        EXPECT_EQ(clear_voice_finish(&state, tail.data(), &produced), CLEAR_VOICE_OK);
        out.insert(out.end(), tail.begin(), tail.begin() + produced);
        EXPECT_EQ(out.size(), in.size() + static_cast<size_t>(latency));
        out.erase(out.begin(), out.begin() + latency);
        return out;
    }

    Broadband_noise state;
    int latency = 0;
};

double Db(double ratio)
{
    return 10 * std::log10(ratio);
}

} // namespace

TEST(ClearVoice, FrameSizesFollowTheRateAndDefaultsAreSet)
{
    Broadband_noise s;
    const std::pair<int, int> expected[] = {{1000, 64},    {8000, 256},   {11025, 256},
                                            {16000, 512},  {44100, 1024}, {48000, 2048},
                                            {192000, 8192}};
    for (auto [rate, frame] : expected)
    {
        s.suppression_depth = 33;
        s.option_flag = 1;
        ASSERT_EQ(init_clear_voice_struct(&s, rate, 1), CLEAR_VOICE_OK);
        EXPECT_EQ(s.frame, frame) << rate;
        EXPECT_EQ(s.rate, rate);
        EXPECT_EQ(s.suppression_depth, 20);
        EXPECT_EQ(s.option_flag, 0);
    }
}

TEST(ClearVoice, RefusesBadArgumentsAndCallsOutOfOrder)
{
    Broadband_noise s;
    EXPECT_EQ(clear_voice_finish(&s, nullptr, nullptr), CLEAR_VOICE_OK); // never started
    EXPECT_EQ(clear_voice_start(&s, nullptr, 0, nullptr), CLEAR_VOICE_NOT_STARTED);
    for (int rate : {0, 999, 192001, -8000})
        EXPECT_EQ(init_clear_voice_struct(&s, rate, 1), CLEAR_VOICE_BAD_ARGUMENT) << rate;
    EXPECT_EQ(init_clear_voice_struct(&s, 8000, 2), CLEAR_VOICE_BAD_ARGUMENT);
    EXPECT_EQ(init_clear_voice_struct(nullptr, 8000, 1), CLEAR_VOICE_BAD_ARGUMENT);

    ASSERT_EQ(init_clear_voice_struct(&s, 8000, 1), CLEAR_VOICE_OK);
    std::vector<int16_t> in(1000, 100), out(1000);
    int used = -1, made = -1;
    EXPECT_EQ(clear_voice_process(&s, in.data(), 100, &used, out.data(), &made),
              CLEAR_VOICE_NOT_STARTED);
    EXPECT_EQ(used, 0);
    EXPECT_EQ(clear_voice_start(&s, nullptr, 5, nullptr), CLEAR_VOICE_BAD_ARGUMENT);
    ASSERT_EQ(clear_voice_start(&s, nullptr, 0, nullptr), CLEAR_VOICE_OK);
    EXPECT_EQ(clear_voice_process(&s, nullptr, 10, &used, out.data(), &made),
              CLEAR_VOICE_BAD_ARGUMENT);
    EXPECT_EQ(clear_voice_process(&s, in.data(), -1, &used, out.data(), &made),
              CLEAR_VOICE_BAD_ARGUMENT);
    EXPECT_EQ(clear_voice_process(&s, in.data(), 10, nullptr, out.data(), &made),
              CLEAR_VOICE_BAD_ARGUMENT);
    // A frame that would complete without room to write it is refused and nothing is taken.
    EXPECT_EQ(clear_voice_process(&s, in.data(), 1000, &used, nullptr, &made),
              CLEAR_VOICE_BAD_ARGUMENT);
    EXPECT_EQ(used, 0);
    // Empty input is fine and produces nothing.
    EXPECT_EQ(clear_voice_process(&s, in.data(), 0, &used, out.data(), &made), CLEAR_VOICE_OK);
    EXPECT_EQ(made, 0);
    EXPECT_EQ(clear_voice_finish(&s, nullptr, nullptr), CLEAR_VOICE_OK);
    EXPECT_EQ(clear_voice_finish(&s, nullptr, nullptr), CLEAR_VOICE_OK);
    EXPECT_EQ(clear_voice_process(&s, in.data(), 10, &used, out.data(), &made),
              CLEAR_VOICE_NOT_STARTED);
}

TEST(ClearVoice, ConsumesUpToOneFrameAndProducesWholeFramesOnly)
{
    // The microphone's windows span two frames, the line's one: the latency is a frame or
    // half of one, and finish hands out the held samples and the latency.
    for (const auto& [option, latency] : {std::pair{0, 256}, std::pair{1, 128}})
    {
        Suppressor s(8000, 20, option);
        ASSERT_EQ(s.state.frame, 256);
        std::vector<int16_t> in(600, 50), out(4 * 256);
        int used = 0, made = 0;
        ASSERT_EQ(clear_voice_process(&s.state, in.data(), 200, &used, out.data(), &made), 0);
        EXPECT_EQ(used, 200);
        EXPECT_EQ(made, 0);
        ASSERT_EQ(clear_voice_process(&s.state, in.data(), 600, &used, out.data(), &made), 0);
        EXPECT_EQ(used, 56);
        EXPECT_EQ(made, 256);
        ASSERT_EQ(clear_voice_process(&s.state, in.data(), 600, &used, out.data(), &made), 0);
        EXPECT_EQ(used, 256);
        EXPECT_EQ(made, 256);
        ASSERT_EQ(clear_voice_process(&s.state, in.data(), 100, &used, out.data(), &made), 0);
        EXPECT_EQ(s.latency, latency) << option;
        int tail = 0;
        ASSERT_EQ(clear_voice_finish(&s.state, out.data(), &tail), 0);
        EXPECT_EQ(tail, 100 + latency) << option;
    }
}

TEST(ClearVoice, LowersStationaryNoiseByTheDepth)
{
    for (int rate : {8000, 16000})
    {
        const auto noise =
            material::ScaledToRms(material::WhiteNoise(static_cast<size_t>(rate) * 4, 3), 1000);
        for (int option : {0, 1})
        {
            Suppressor s(rate, 20, option);
            const auto out = s.Run(noise);
            // After a second of settling, measured over the rest.
            const double cut = Db(material::Power(noise, static_cast<size_t>(rate)) /
                                  material::Power(out, static_cast<size_t>(rate)));
            EXPECT_GT(cut, 15.0) << "rate " << rate << " option " << option;
            EXPECT_LT(cut, 21.5) << "the floor of -20 dB holds";
        }
    }
    const auto noise = material::ScaledToRms(material::WhiteNoise(32000, 4), 1000);
    Suppressor shallow(8000, 6, 0), deep(8000, 36, 0);
    const double cutShallow =
        Db(material::Power(noise, 8000) / material::Power(shallow.Run(noise), 8000));
    const double cutDeep =
        Db(material::Power(noise, 8000) / material::Power(deep.Run(noise), 8000));
    EXPECT_LT(cutShallow, 6.5);
    EXPECT_GT(cutShallow, 4.0);
    EXPECT_GT(cutDeep, 25.0);
}

TEST(ClearVoice, FollowsANoiseThatRisesWithinSeconds)
{
    // Quiet noise for 3 s, then 14 dB louder: within 2.5 s the louder noise is cut again.
    for (int rate : {8000, 16000})
        for (int option : {0, 1})
        {
            const auto w = material::WhiteNoise(static_cast<size_t>(rate) * 7, 5);
            std::vector<int16_t> in(w.size());
            for (size_t i = 0; i < w.size(); ++i)
                in[i] = static_cast<int16_t>(std::lround(w[i] * (i < 3u * rate ? 300 : 1500)));
            Suppressor s(rate, 20, option);
            const auto out = s.Run(in);
            const size_t from = static_cast<size_t>(rate) * 11 / 2;
            EXPECT_GT(Db(material::Power(in, from) / material::Power(out, from)), 10.0)
                << "rate " << rate << " option " << option;
        }
}

TEST(ClearVoice, KeepsACleanToneAndPassesItUndistorted)
{
    for (int rate : {8000, 16000})
        for (double hz : {440.0, 1000.0, 2500.0})
        {
            const auto tone = material::Tone(rate, hz, 8000, static_cast<size_t>(rate) * 3);
            Suppressor s(rate, 30, 0);
            const auto out = s.Run(tone);
            const size_t from = static_cast<size_t>(rate);
            EXPECT_NEAR(Db(material::Power(out, from) / material::Power(tone, from)), 0.0, 1.0)
                << rate << " Hz rate, tone " << hz;
            double err = 0;
            for (size_t i = from; i < tone.size(); ++i)
                err += std::pow(out[i] - tone[i], 2);
            EXPECT_GT(
                Db(material::Power(tone, from) / (err / static_cast<double>(tone.size() - from))),
                20.0);
        }
}

TEST(ClearVoice, KeepsSpeechWhileItRemovesTheNoiseBetweenWords)
{
    const int rate = 8000;
    const auto clean = material::Speech(rate, 0);
    std::vector<double> noise;
    const auto noisy = material::MixAtSnr(clean, material::WhiteNoise(clean.size(), 9), 5, &noise);
    Suppressor s(rate, 20, 0);
    const auto out = s.Run(noisy);
    // Frames of 32 ms, split by the clean level into speech and pauses.
    double maxPower = 0;
    const size_t f = 256;
    for (size_t at = 0; at + f <= clean.size(); at += f)
        maxPower = std::max(maxPower, material::Power(clean, at, at + f));
    double speechIn = 0, speechOut = 0, pauseIn = 0, pauseOut = 0;
    for (size_t at = rate; at + f <= clean.size(); at += f)
    {
        const double p = material::Power(clean, at, at + f);
        if (p > maxPower / 100)
        {
            speechIn += p;
            speechOut += material::Power(out, at, at + f);
        }
        else if (p < maxPower / 1e5)
        {
            pauseIn += material::Power(noisy, at, at + f);
            pauseOut += material::Power(out, at, at + f);
        }
    }
    ASSERT_GT(pauseIn, 0);
    EXPECT_GT(Db(pauseIn / pauseOut), 12.0);
    EXPECT_NEAR(Db(speechOut / speechIn), 0.0, 2.5);
}

TEST(ClearVoice, LineOptionCutsWhatLiesOutsideTheTelephoneBand)
{
    const int rate = 16000;
    const auto hum = material::Tone(rate, 120, 6000, rate * 2);
    const auto hiss = material::Tone(rate, 6000, 6000, rate * 2);
    for (const auto* tone : {&hum, &hiss})
    {
        Suppressor line(rate, 24, 1), mic(rate, 24, 0);
        const double lineCut =
            Db(material::Power(*tone, 4000) / material::Power(line.Run(*tone), 4000));
        const double micCut =
            Db(material::Power(*tone, 4000) / material::Power(mic.Run(*tone), 4000));
        EXPECT_GT(lineCut, 22.0);
        EXPECT_LT(micCut, 1.0);
    }
}

TEST(ClearVoice, NoisePrimerSuppressesFromTheFirstFrame)
{
    const int rate = 8000;
    const auto noise = material::ScaledToRms(material::WhiteNoise(rate * 2, 21), 2000);
    // Start the noise estimate from a different stretch of the same noise.
    const auto primer = material::ScaledToRms(material::WhiteNoise(rate, 22), 2000);
    Suppressor primed(rate, 20, 0, &primer);
    const auto out = primed.Run(noise);
    EXPECT_GT(Db(material::Power(noise, 0, rate / 4) / material::Power(out, 0, rate / 4)), 12.0);
}

TEST(ClearVoice, ExtremeInputsStayInRangeAndKeepFlowing)
{
    const int rate = 8000;
    std::vector<int16_t> square(rate * 2), dc(rate * 2, -32768), clicks(rate * 2, 0);
    for (size_t i = 0; i < square.size(); ++i)
        square[i] = (i / 20) % 2 ? 32767 : -32768;
    for (size_t i = 0; i < clicks.size(); i += 997)
        clicks[i] = 32767;
    for (const auto* in : {&square, &dc, &clicks})
    {
        Suppressor s(rate, 36, 1);
        const auto out = s.Run(*in, 1); // one sample at a time as well
        EXPECT_EQ(out.size(), in->size());
    }
}

// Frames of exponentially distributed bin powers (Gaussian noise) around a mean of 1, each
// frame scaled by a level drawn from `levelsDb` (bursts of a noise made of many voices).
static double FluctuationRatio(std::vector<double> levelsDb, double* steadiness)
{
    const int bins = 129;
    NoiseTracker tracker(bins);
    NoiseFluctuation fluctuation(bins);
    std::mt19937 rng(7);
    std::exponential_distribution<double> bin(1.0);
    std::uniform_int_distribution<size_t> pick(0, levelsDb.size() - 1);
    std::vector<double> power(static_cast<size_t>(bins));
    for (int frame = 0; frame < 600; ++frame)
    {
        const double level = std::pow(10.0, levelsDb[pick(rng)] / 10);
        for (double& p : power)
            p = level * bin(rng);
        tracker.Update(power, 0.95);
        fluctuation.Update(power, tracker.Noise());
    }
    *steadiness = fluctuation.Steadiness();
    return fluctuation.Ratio();
}

TEST(ClearVoice, SteadyNoiseAndBurstsAreToldApart)
{
    double steadiness = 0;
    const double steady = FluctuationRatio({0.0}, &steadiness);
    EXPECT_GT(steady, 1.0);
    EXPECT_LT(steady, 2.0);
    EXPECT_EQ(steadiness, 1.0);
    // Level jumps of 15 dB: the tracker follows the quiet spells and takes the loud ones for
    // speech, so the mean power stands well above its estimate.
    const double bursts = FluctuationRatio({0.0, 0.0, 15.0}, &steadiness);
    EXPECT_GT(bursts, 3.0);
    EXPECT_EQ(steadiness, 0.0);
}
