// Parameters, clamps and reports of the AGC, denoiser, speech search and stretcher, and
// their common frame.
#include "movra/agc.h"
#include "movra/denoiser.h"
#include "movra/speechsearch.h"
#include "movra/stretcher.h"
#include "recording_host.h"

#include <gtest/gtest.h>

namespace
{

SMSG Some(long rate, bool eof = false)
{
    SMSG msg;
    msg.Assign(rate, 2, 3);
    msg.samples = {1, 2, 3, -4, -5, -6};
    msg.eof = eof;
    return msg;
}

} // namespace

TEST(Agc, ClampsReportsAndIgnoresRepeats)
{
    RecordingHost host;
    OBJ_AGC agc;
    agc.SetInterface(&host);
    EXPECT_EQ(agc.Level(), 30);
    agc.SetLevel(0);
    EXPECT_EQ(agc.Level(), 1);
    agc.SetLevel(97);
    EXPECT_EQ(agc.Level(), 96);
    agc.SetLevel(96); // unchanged: no report
    agc.SetLevel(45);
    EXPECT_EQ(host.Lines(), (std::vector<std::string>{"OnAgc 1", "OnAgc 96", "OnAgc 45"}));
}

TEST(Agc, RebuildsOnlyForRatesItCanServe)
{
    RecordingHost host;
    OBJ_AGC agc;
    agc.SetInterface(&host);
    SMSG low = Some(500);
    EXPECT_EQ(agc.Process(low), TONEXT); // disabled: not even looked at
    agc.Enable();
    SMSG ok = Some(16000);
    const SMSG copy = ok;
    EXPECT_EQ(agc.Process(ok), TONEXT);
    EXPECT_EQ(agc.Rate(), 16000);
    EXPECT_EQ(ok.samples, copy.samples);
    SMSG bad = Some(500);
    EXPECT_THROW(agc.Process(bad), LOGIC_ERROR);
    SMSG tooHigh = Some(200000);
    EXPECT_THROW(agc.Process(tooHigh), LOGIC_ERROR);
}

TEST(Denoiser, StoresModeAsAFlagAndClampsTheLevel)
{
    RecordingHost host;
    OBJ_DENOISER denoiser;
    denoiser.SetInterface(&host);
    EXPECT_FALSE(denoiser.Mode());
    EXPECT_EQ(denoiser.Level(), 20000);
    denoiser.Set(1, 100);
    EXPECT_TRUE(denoiser.Mode());
    EXPECT_EQ(denoiser.Level(), 6000);
    denoiser.Set(2, 50000);
    EXPECT_FALSE(denoiser.Mode());
    EXPECT_EQ(denoiser.Level(), 36000);
    EXPECT_EQ(host.Lines(), (std::vector<std::string>{"OnDenoiser 1 6000", "OnDenoiser 0 36000"}));
}

TEST(SpeechSearch, RemovesEmptyMessagesAndSwitchesOffAtTheEnd)
{
    RecordingHost host;
    OBJ_SPEECHSEARCH search;
    search.SetInterface(&host);
    search.SetThreshold(10);
    search.SetThreshold(5000);
    EXPECT_EQ(search.Threshold(), 2000);

    SMSG empty;
    EXPECT_EQ(search.Process(empty), TONEXT); // disabled
    search.Enable();
    EXPECT_EQ(search.Process(empty), REMOVE);
    // An empty end mark must still go on, or the file would never end.
    SMSG end;
    end.eof = true;
    host.Clear();
    EXPECT_EQ(search.Process(end), TONEXT);
    EXPECT_FALSE(search.IsEnabled());
    EXPECT_EQ(host.Lines(), (std::vector<std::string>{"OnObject 3 0"}));
}

TEST(Stretcher, StepClampsSelectsThePatternAndSwitches)
{
    RecordingHost host;
    OBJ_STRETCHER stretcher;
    stretcher.SetInterface(&host);
    stretcher.SetStep(-8);
    EXPECT_EQ(stretcher.Step(), -7);
    EXPECT_TRUE(stretcher.IsEnabled());
    stretcher.SetStep(7);
    EXPECT_EQ(stretcher.Step(), 6);
    stretcher.SetStep(0);
    EXPECT_FALSE(stretcher.IsEnabled());
    EXPECT_EQ(host.Lines(),
              (std::vector<std::string>{"OnStretcher -7", "OnStretcher 6", "OnStretcher 0"}));
    SMSG msg = Some(8000);
    const SMSG copy = msg;
    EXPECT_EQ(stretcher.Process(msg), TONEXT);
    EXPECT_EQ(msg.samples, copy.samples);
}

TEST(Stretcher, SpeedFactorsFollowThePatterns)
{
    const std::pair<long, double> expected[] = {
        {-7, 1.0 / 3}, {-6, 0.4},     {-5, 0.5}, {-4, 4.0 / 7}, {-3, 2.0 / 3},
        {-2, 0.8},     {-1, 8.0 / 9}, {0, 1.0},  {1, 8.0 / 7},  {2, 1.25},
        {3, 1.5},      {4, 2.0},      {5, 2.5},  {6, 3.0}};
    for (const auto& [step, speed] : expected)
        EXPECT_NEAR(OBJ_STRETCHER::SpeedFactor(step), speed, 1e-12) << step;
    EXPECT_EQ(OBJ_STRETCHER::Pattern(5), (std::vector<int>{-1, 1, -1, -1, 1}));
    EXPECT_EQ(OBJ_STRETCHER::Pattern(99), OBJ_STRETCHER::Pattern(6));
}
