// The AGC, denoiser, speech search and stretcher objects with their engines: what goes in
// and what comes out of the chain's messages.
#include "movra/agc.h"
#include "movra/denoiser.h"
#include "movra/speechsearch.h"
#include "movra/stretcher.h"
#include "recording_host.h"
#include "test_material/material.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

// Stereo messages of `piece` frames cut from two channels; the last one has the end mark.
std::vector<SMSG> Messages(int rate, const std::vector<int16_t>& left,
                           const std::vector<int16_t>& right, size_t piece)
{
    std::vector<SMSG> out;
    for (size_t at = 0; at < left.size(); at += piece)
    {
        const size_t n = std::min(piece, left.size() - at);
        SMSG m;
        m.Assign(rate, 2, n, RNUMBER64(static_cast<int64_t>(at), rate));
        std::copy(left.begin() + static_cast<std::ptrdiff_t>(at),
                  left.begin() + static_cast<std::ptrdiff_t>(at + n), m.Channel(0));
        std::copy(right.begin() + static_cast<std::ptrdiff_t>(at),
                  right.begin() + static_cast<std::ptrdiff_t>(at + n), m.Channel(1));
        out.push_back(std::move(m));
    }
    out.back().eof = true;
    return out;
}

struct Collected
{
    std::vector<int16_t> left, right;
    std::vector<SMSG> passed;
    int removed = 0;
};

Collected RunObject(BASEOBJECT& object, std::vector<SMSG> messages)
{
    Collected c;
    for (SMSG& m : messages)
    {
        const long result = object.Process(m);
        EXPECT_TRUE(result == TONEXT || result == REMOVE) << result;
        if (result == REMOVE)
        {
            ++c.removed;
            continue;
        }
        EXPECT_EQ(m.samples.size(), m.channels * m.Frames());
        EXPECT_EQ(m.length, RNUMBER64(static_cast<int64_t>(m.Frames()), m.rate));
        if (m.channels == 2)
        {
            c.left.insert(c.left.end(), m.Channel(0), m.Channel(0) + m.Frames());
            c.right.insert(c.right.end(), m.Channel(1), m.Channel(1) + m.Frames());
        }
        c.passed.push_back(m);
    }
    return c;
}

double Db(double ratio)
{
    return 10 * std::log10(ratio);
}

} // namespace

TEST(DenoiserObject, LowersNoiseKeepsLengthAndTiming)
{
    RecordingHost host;
    OBJ_DENOISER denoiser;
    denoiser.SetInterface(&host);
    denoiser.Set(1, 20000);
    denoiser.Enable();
    const int rate = 8000;
    const auto left = material::ScaledToRms(material::WhiteNoise(rate * 3, 1), 1500);
    const auto right = material::ScaledToRms(material::WhiteNoise(rate * 3, 2), 500);
    const Collected c = RunObject(denoiser, Messages(rate, left, right, 100)); // pieces < a frame
    EXPECT_GT(c.removed, 0);
    ASSERT_EQ(c.left.size(), left.size());
    EXPECT_GT(Db(material::Power(left, rate) / material::Power(c.left, rate)), 12.0);
    EXPECT_GT(Db(material::Power(right, rate) / material::Power(c.right, rate)), 12.0);
    // Each message starts where the one before it ended.
    for (size_t i = 1; i < c.passed.size(); ++i)
        EXPECT_EQ(c.passed[i].start, c.passed[i - 1].start + c.passed[i - 1].length) << i;
    EXPECT_EQ(c.passed.front().start, RNUMBER64(0));
}

TEST(DenoiserObject, RateItCannotServePassesUnchanged)
{
    OBJ_DENOISER denoiser;
    denoiser.Enable();
    SMSG m;
    m.Assign(500, 2, 300);
    m.samples.assign(600, 1234);
    const SMSG copy = m;
    EXPECT_EQ(denoiser.Process(m), TONEXT);
    EXPECT_EQ(m.samples, copy.samples);
}

TEST(AgcObject, RaisesQuietSpeechKeepsLengthAndStaysInRange)
{
    RecordingHost host;
    OBJ_AGC agc;
    agc.SetInterface(&host);
    agc.Enable();
    const int rate = 8000;
    const auto speech = material::Speech(rate, 1);
    std::vector<int16_t> quiet(speech.size()), loud(speech.size());
    for (size_t i = 0; i < speech.size(); ++i)
    {
        quiet[i] = static_cast<int16_t>(speech[i] / 20);
        loud[i] = static_cast<int16_t>(std::clamp(speech[i] * 4, -32768, 32767));
    }
    const Collected c = RunObject(agc, Messages(rate, quiet, loud, 1000));
    ASSERT_EQ(c.left.size(), quiet.size());
    ASSERT_EQ(c.right.size(), loud.size());
    EXPECT_GT(material::Power(c.left, rate), 20 * material::Power(quiet, rate));
    for (int16_t v : c.right)
        ASSERT_GE(v, -32766);
    EXPECT_FALSE(agc.IsEnabled() && c.passed.empty());
}

TEST(SpeechSearchObject, SilenceIsSkippedWholeAndTheEndSwitchesItOff)
{
    RecordingHost host;
    OBJ_SPEECHSEARCH search;
    search.SetInterface(&host);
    search.Enable();
    const std::vector<int16_t> silence(8000 * 3, 0);
    auto messages = Messages(8000, silence, silence, 800);
    for (size_t i = 0; i + 1 < messages.size(); ++i)
    {
        EXPECT_EQ(search.Process(messages[i]), TONEXT);
        EXPECT_TRUE(messages[i].IsEmpty());
        EXPECT_TRUE(messages[i].samples.empty());
    }
    EXPECT_TRUE(search.IsEnabled());
    EXPECT_EQ(search.Process(messages.back()), TONEXT);
    EXPECT_FALSE(search.IsEnabled());
    EXPECT_EQ(host.Lines(), (std::vector<std::string>{"OnObject 3 0"}));
}

TEST(SpeechSearchObject, PlaysFromTheMessageWhereSpeechStarts)
{
    RecordingHost host;
    OBJ_SPEECHSEARCH search;
    search.SetInterface(&host);
    search.Enable();
    const int rate = 16000;
    const auto speech = material::Speech(rate, 2);
    std::vector<int16_t> clean(static_cast<size_t>(rate) * 4, 0);
    clean.insert(clean.end(), speech.begin(), speech.end());
    const auto noisy = material::MixAtSnr(clean, material::PinkNoise(clean.size(), 4), 10);
    size_t onset = 0;
    while (std::abs(clean[onset]) < 300)
        ++onset;
    auto messages = Messages(rate, noisy, noisy, 1600);
    size_t heard = 0;
    for (size_t i = 0; i < messages.size() && search.IsEnabled(); ++i)
    {
        const SMSG copy = messages[i];
        EXPECT_EQ(search.Process(messages[i]), TONEXT);
        if (!messages[i].IsEmpty())
        {
            EXPECT_EQ(messages[i].samples, copy.samples);
            heard = i * 1600;
        }
    }
    EXPECT_FALSE(search.IsEnabled());
    EXPECT_EQ(host.Lines(), (std::vector<std::string>{"OnObject 3 0"}));
    EXPECT_LE(heard, onset + static_cast<size_t>(rate) * 15 / 100);
    EXPECT_GE(heard + 1600 * 2, onset);
}

TEST(StretcherObject, StepFourHalvesTheDurationInMonoOnBothSides)
{
    RecordingHost host;
    OBJ_STRETCHER stretcher;
    stretcher.SetInterface(&host);
    stretcher.SetStep(4);
    const int rate = 16000;
    const auto speech = material::Speech(rate, 3);
    std::vector<int16_t> right(speech.size());
    for (size_t i = 0; i < speech.size(); ++i)
        right[i] = static_cast<int16_t>(speech[i] / 2);
    const Collected c = RunObject(stretcher, Messages(rate, speech, right, 512));
    EXPECT_NEAR(static_cast<double>(c.left.size()) / speech.size(), 0.5, 0.01);
    EXPECT_EQ(c.left, c.right);
    // Step -5 plays every period twice.
    stretcher.SetStep(-5);
    const Collected slow = RunObject(stretcher, Messages(rate, speech, right, 2000));
    EXPECT_NEAR(static_cast<double>(slow.left.size()) / speech.size(), 2.0, 0.02);
}
