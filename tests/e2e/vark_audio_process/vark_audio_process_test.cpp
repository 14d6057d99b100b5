#include "platform/little_endian.h"
#include "platform/riff.h"
#include "test_material/material.h"
#include "testsupport/sound.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>

using testsupport::RunProcess;

namespace
{

using Samples = std::vector<int16_t>;

std::string Tool()
{
    return testsupport::BinDir() + "/vark-audio";
}

struct Wav
{
    uint32_t rate = 0;
    uint16_t channels = 0;
    Samples left;            // the first channel
    bool sizesAgree = false; // RIFF and data sizes match the file
};

// A 16-bit PCM WAV: the format and the data chunk, wherever they lie.
Wav ReadWav(const std::string& path)
{
    const std::string b = testsupport::ReadFile(path);
    const auto* p = reinterpret_cast<const uint8_t*>(b.data());
    Wav w;
    platform::riff::WalkWaveChunks(
        p, b.size(),
        [&](const platform::riff::Chunk& chunk)
        {
            if (chunk.Is("fmt ") && chunk.held >= 16)
            {
                w.channels = platform::LoadLE16(p + chunk.body + 2);
                w.rate = platform::LoadLE32(p + chunk.body + 4);
                return true;
            }
            if (!chunk.Is("data")) return true;
            w.sizesAgree =
                platform::LoadLE32(p + 4) == b.size() - 8 && chunk.body + chunk.size == b.size();
            const size_t frame = 2u * std::max<uint16_t>(w.channels, 1);
            for (size_t i = chunk.body; i + frame <= chunk.body + chunk.held; i += frame)
                w.left.push_back(static_cast<int16_t>(platform::LoadLE16(p + i)));
            return false;
        });
    return w;
}

double SegmentalSnr(const Samples& clean, const Samples& test, int rate)
{
    const size_t frame = static_cast<size_t>(rate / 50);
    double top = 0;
    for (size_t at = 0; at + frame <= clean.size(); at += frame)
        top = std::max(top, material::Power(clean, at, at + frame));
    double sum = 0;
    int count = 0;
    for (size_t at = 0; at + frame <= std::min(clean.size(), test.size()); at += frame)
    {
        if (material::Power(clean, at, at + frame) <= top * 1e-4) continue;
        double s = 0, n = 0;
        for (size_t i = at; i < at + frame; ++i)
        {
            s += double(clean[i]) * clean[i];
            n += std::pow(double(clean[i]) - test[i], 2);
        }
        sum += std::clamp(10 * std::log10(s / std::max(n, 1e-3)), -10.0, 35.0);
        ++count;
    }
    return count ? sum / count : 0;
}

struct ProcessTest : ::testing::Test
{
    testsupport::ScopedTestEnv env;
    std::string in = env.Path("in.wav");
    std::string out = env.Path("out.wav");

    void Write(const Samples& samples, uint32_t rate)
    {
        testsupport::WriteFile(in, testsupport::MonoWav(samples, rate));
    }
};

} // namespace

TEST_F(ProcessTest, StretchStepsChangeTheDurationByTheirSpeed)
{
    const int rate = 16000;
    const Samples speech = material::Speech(rate, 1);
    Write(speech, rate);
    for (const auto& [step, factor] : {std::pair{"4", 0.5}, std::pair{"-5", 2.0}})
    {
        const auto r = RunProcess({Tool(), "process", in, out, "--stretch", step});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Wav w = ReadWav(out);
        EXPECT_TRUE(w.sizesAgree);
        EXPECT_EQ(w.rate, 16000u);
        EXPECT_EQ(w.channels, 2);
        EXPECT_NEAR(double(w.left.size()) / double(speech.size()), factor, factor * 0.02) << step;
    }
}

TEST_F(ProcessTest, DenoiserRaisesTheSegmentalSnrOfNoisySpeech)
{
    const int rate = 16000;
    const Samples clean = material::Speech(rate, 0);
    const Samples noisy = material::MixAtSnr(clean, material::WhiteNoise(clean.size(), 7), 5);
    Write(noisy, rate);
    const auto r = RunProcess({Tool(), "process", in, out, "--denoiser", "1,20000"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Wav w = ReadWav(out);
    ASSERT_EQ(w.left.size(), noisy.size()); // the suppressor's delay is not played
    const double gain = SegmentalSnr(clean, w.left, rate) - SegmentalSnr(clean, noisy, rate);
    EXPECT_GT(gain, 3.0);
}

TEST_F(ProcessTest, SpeechSearchSkipsTheNoiseBeforeTheSpeech)
{
    const int rate = 16000;
    const Samples speech = material::Speech(rate, 2);
    Samples clean(static_cast<size_t>(rate) * 3, 0);
    clean.insert(clean.end(), speech.begin(), speech.end());
    size_t onset = 0;
    while (onset < clean.size() && std::abs(clean[onset]) < 300)
        ++onset;
    Write(material::MixAtSnr(clean, material::PinkNoise(clean.size(), 3), 15), rate);
    const auto r = RunProcess({Tool(), "process", in, out, "--speech-search", "800"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("speech from "), std::string::npos) << r.out;
    const Wav w = ReadWav(out);
    const double skipped = double(clean.size() - w.left.size()) / rate;
    EXPECT_NEAR(skipped, double(onset) / rate, 0.15);
}

TEST_F(ProcessTest, InterruptionLeavesACompleteFile)
{
    // Long enough that the run is still going when the progress line has come.
    const int rate = 8000;
    Write(testsupport::TestTone(static_cast<size_t>(rate) * 60 * 20), rate);
    testsupport::ChildProcess child(
        {Tool(), "process", in, out, "--denoiser", "1,20000", "--agc", "30"});
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return child.Stderr().find(" of ") != std::string::npos; }, 60000));
    child.Signal(SIGINT);
    const auto status = child.Wait(60000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 130) << child.Stderr();
    EXPECT_NE(child.Stderr().find("interrupted"), std::string::npos);
    const Wav w = ReadWav(out);
    EXPECT_TRUE(w.sizesAgree);
    EXPECT_GT(w.left.size(), 0u);
    EXPECT_LT(w.left.size(), size_t(rate) * 60 * 20);
}

TEST_F(ProcessTest, WrongUseIsRefusedAndLosesNothing)
{
    const Samples tone = testsupport::TestTone(8000);
    Write(tone, 8000);
    const std::string original = testsupport::ReadFile(in);
    for (const std::vector<std::string>& extra : {std::vector<std::string>{},
                                                  {"--stretch", "7"},
                                                  {"--stretch", "x"},
                                                  {"--agc", "97"},
                                                  {"--denoiser", "1"},
                                                  {"--speech-search", "100"},
                                                  {"--gain", "50"},
                                                  {"--ring", "0-100"},
                                                  {"--seek", "-1"},
                                                  {"--bogus", "1"},
                                                  {"--stretch"}})
    {
        std::vector<std::string> argv = {Tool(), "process", in, out};
        if (extra.empty()) argv.pop_back(); // no OUT
        argv.insert(argv.end(), extra.begin(), extra.end());
        const auto r = RunProcess(argv);
        EXPECT_EQ(r.exitCode, 2) << (extra.empty() ? "no OUT" : extra[0]);
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_FALSE(testsupport::FileExists(out));
    // The output must not overwrite the input.
    EXPECT_EQ(RunProcess({Tool(), "process", in, in}).exitCode, 2);
    EXPECT_EQ(testsupport::ReadFile(in), original);
    // An input that cannot be read makes no output; an output that cannot be made fails.
    testsupport::WriteFile(env.Path("junk.wav"), "RIFF0000WAVEjunk");
    EXPECT_EQ(RunProcess({Tool(), "process", env.Path("junk.wav"), out}).exitCode, 1);
    EXPECT_EQ(RunProcess({Tool(), "process", env.Path("none.wav"), out}).exitCode, 1);
    EXPECT_FALSE(testsupport::FileExists(out));
    const auto r = RunProcess({Tool(), "process", in, env.Path("no/such/folder/out.wav")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("out.wav"), std::string::npos) << r.err;
}
