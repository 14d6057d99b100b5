// The shelf filter: the biquad designs answer at the frequencies where their shape is
// known, the shelves change a tone by their gain, and the gains live in the settings file.
#include "movra/hlfilter.h"
#include "platform/profile.h"
#include "recording_host.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

namespace
{

double Magnitude(const BIQUAD& q, double frequency, double rate)
{
    const std::complex<double> z = std::polar(1.0, -2 * std::numbers::pi * frequency / rate);
    return std::abs((q.b0 + q.b1 * z + q.b2 * z * z) / (1.0 + q.a1 * z + q.a2 * z * z));
}

SMSG Tone(double frequency, long rate, size_t frames, double amplitude = 8000)
{
    SMSG msg;
    msg.Assign(rate, 2, frames);
    for (unsigned long c = 0; c < 2; ++c)
        for (size_t f = 0; f < frames; ++f)
            msg.Channel(c)[f] = static_cast<int16_t>(
                std::lround(amplitude * std::sin(2 * std::numbers::pi * frequency * f / rate)));
    return msg;
}

double Peak(const SMSG& msg, unsigned long c, size_t from)
{
    double peak = 0;
    for (size_t f = from; f < msg.Frames(); ++f)
        peak = std::max(peak, std::abs(static_cast<double>(msg.Channel(c)[f])));
    return peak;
}

} // namespace

TEST(Biquad, EveryTypeHasItsShape)
{
    const double rate = 16000, f0 = 1000, nyq = 7999.9;
    BIQUAD q;
    ASSERT_TRUE(q.Design(BIQUAD::LOWPASS, f0, rate, 0, 0.707));
    EXPECT_NEAR(Magnitude(q, 0, rate), 1.0, 1e-9);
    EXPECT_NEAR(Magnitude(q, nyq, rate), 0.0, 1e-4);
    ASSERT_TRUE(q.Design(BIQUAD::HIGHPASS, f0, rate, 0, 0.707));
    EXPECT_NEAR(Magnitude(q, 0, rate), 0.0, 1e-9);
    EXPECT_NEAR(Magnitude(q, nyq, rate), 1.0, 1e-4);
    ASSERT_TRUE(q.Design(BIQUAD::BANDPASS, f0, rate, 0, 2));
    EXPECT_NEAR(Magnitude(q, f0, rate), 1.0, 1e-9);
    EXPECT_NEAR(Magnitude(q, 0, rate), 0.0, 1e-9);
    ASSERT_TRUE(q.Design(BIQUAD::NOTCH, f0, rate, 0, 2));
    EXPECT_NEAR(Magnitude(q, f0, rate), 0.0, 1e-9);
    EXPECT_NEAR(Magnitude(q, 0, rate), 1.0, 1e-9);
    ASSERT_TRUE(q.Design(BIQUAD::PEAKING, f0, rate, 6, 1));
    EXPECT_NEAR(Magnitude(q, f0, rate), std::pow(10, 6 / 20.0), 1e-9);
    EXPECT_NEAR(Magnitude(q, 0, rate), 1.0, 1e-9);
    ASSERT_TRUE(q.Design(BIQUAD::LOWSHELF, 500, rate, 6, 1));
    EXPECT_NEAR(Magnitude(q, 0, rate), std::pow(10, 6 / 20.0), 1e-9);
    EXPECT_NEAR(Magnitude(q, nyq, rate), 1.0, 1e-3);
    ASSERT_TRUE(q.Design(BIQUAD::HIGHSHELF, 3000, rate, -6, 1));
    EXPECT_NEAR(Magnitude(q, 0, rate), 1.0, 1e-9);
    EXPECT_NEAR(Magnitude(q, nyq, rate), std::pow(10, -6 / 20.0), 1e-3);
}

TEST(Biquad, RefusesMeaninglessDesignsAndKeepsTheOldOne)
{
    BIQUAD q;
    ASSERT_TRUE(q.Design(BIQUAD::LOWSHELF, 500, 8000, 6, 1));
    const double b0 = q.b0;
    EXPECT_FALSE(q.Design(BIQUAD::LOWSHELF, 0, 8000, 6, 1));
    EXPECT_FALSE(q.Design(BIQUAD::LOWSHELF, -5, 8000, 6, 1));
    EXPECT_FALSE(q.Design(BIQUAD::LOWSHELF, 500, 8000, 6, 0));
    EXPECT_FALSE(q.Design(BIQUAD::HIGHSHELF, 3000, 6000, 6, 1)); // corner at half the rate
    EXPECT_FALSE(q.Design(8, 500, 8000, 6, 1));
    EXPECT_EQ(q.b0, b0);
}

struct FilterTest : ::testing::Test
{
    testsupport::ScopedTestEnv env;
    std::string ini = env.Path("player.ini");
    RecordingHost host;
};

TEST_F(FilterTest, ZeroGainsAndDisabledLeaveSamplesExact)
{
    OBJ_HLFILTER filter(ini);
    filter.SetInterface(&host);
    SMSG msg = Tone(440, 16000, 800, 32000);
    const SMSG original = msg;
    EXPECT_EQ(filter.Process(msg), TONEXT); // disabled
    EXPECT_EQ(msg.samples, original.samples);
    filter.Enable();
    filter.Process(msg);
    EXPECT_EQ(msg.samples, original.samples);
}

TEST_F(FilterTest, ShelvesChangeTonesByTheirGains)
{
    OBJ_HLFILTER filter(ini);
    filter.SetInterface(&host);
    filter.Enable();
    filter.SetLowGain(6);
    filter.SetHighGain(-12);
    SMSG low = Tone(60, 16000, 16000);
    filter.Process(low);
    EXPECT_NEAR(Peak(low, 0, 8000) / 8000, std::pow(10, 6 / 20.0), 0.05);
    EXPECT_NEAR(Peak(low, 1, 8000) / 8000, std::pow(10, 6 / 20.0), 0.05);
    SMSG high = Tone(7000, 16000, 16000);
    filter.Process(high);
    EXPECT_NEAR(Peak(high, 0, 8000) / 8000, std::pow(10, -12 / 20.0), 0.03);
    SMSG mid = Tone(1200, 16000, 16000);
    filter.Process(mid);
    const double ratio = Peak(mid, 0, 8000) / 8000;
    EXPECT_GT(ratio, std::pow(10, -12 / 20.0));
    EXPECT_LT(ratio, std::pow(10, 6 / 20.0));
}

TEST_F(FilterTest, BoostedFullScaleClipsInsteadOfWrapping)
{
    OBJ_HLFILTER filter(ini);
    filter.SetInterface(&host);
    filter.Enable();
    filter.SetLowGain(12);
    SMSG msg = Tone(50, 8000, 8000, 30000);
    filter.Process(msg);
    EXPECT_GE(Peak(msg, 0, 4000), 32767.0);
    for (size_t f = 1; f < msg.Frames(); ++f)
        ASSERT_LT(std::abs(msg.Channel(0)[f] - msg.Channel(0)[f - 1]), 20000) << f;
}

TEST_F(FilterTest, GainsComeFromAndGoToTheSettingsFile)
{
    platform::ProfileWriteString(ini, "HLFILTER", "LOW_FREQ_GAIN", "3.5");
    platform::ProfileWriteString(ini, "HLFILTER", "HIGH_FREQ_GAIN", "rubbish");
    OBJ_HLFILTER filter(ini);
    filter.SetInterface(&host);
    EXPECT_EQ(filter.LowGain(), 3.5);
    EXPECT_EQ(filter.HighGain(), 0.0);
    filter.SetHighGain(-4.25);
    EXPECT_EQ(platform::ProfileReadString(ini, "HLFILTER", "HIGH_FREQ_GAIN"), "-4.25");
    EXPECT_EQ(host.Lines(), (std::vector<std::string>{"OnHLFilter 3.5 -4.25"}));
    filter.SetLowGain(std::nan("")); // refused: it would poison every sample
    EXPECT_EQ(filter.LowGain(), 3.5);
    OBJ_HLFILTER again(ini);
    EXPECT_EQ(again.HighGain(), -4.25);
}
