#include "platform/little_endian.h"
#include "testsupport/sound.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <csignal>

using testsupport::RunProcess;

namespace
{

std::string Tool()
{
    return testsupport::BinDir() + "/vark-audio";
}

int16_t Sample(size_t i)
{
    return static_cast<int16_t>((i * 53) % 50000 - 25000);
}

// A 16-bit PCM mono file of `frames` samples.
void WriteMono(const std::string& path, uint32_t rate, size_t frames)
{
    std::string b(44 + 2 * frames, '\0');
    auto* p = reinterpret_cast<uint8_t*>(b.data());
    const auto data = static_cast<uint32_t>(2 * frames);
    b.replace(0, 4, "RIFF");
    platform::StoreLE32(p + 4, 36 + data);
    b.replace(8, 8, "WAVEfmt ");
    platform::StoreLE32(p + 16, 16);
    platform::StoreLE16(p + 20, 1);
    platform::StoreLE16(p + 22, 1);
    platform::StoreLE32(p + 24, rate);
    platform::StoreLE32(p + 28, rate * 2);
    platform::StoreLE16(p + 32, 2);
    platform::StoreLE16(p + 34, 16);
    b.replace(36, 4, "data");
    platform::StoreLE32(p + 40, data);
    for (size_t i = 0; i < frames; ++i)
        platform::StoreLE16(p + 44 + 2 * i, static_cast<uint16_t>(Sample(i)));
    testsupport::WriteFile(path, b);
}

// The left and right samples of a capture file.
std::pair<std::vector<int16_t>, std::vector<int16_t>> Captured(const std::string& path)
{
    std::vector<int16_t> left, right;
    for (const auto& [l, r] : testsupport::CapturedFrames(path))
    {
        left.push_back(l);
        right.push_back(r);
    }
    return {left, right};
}

struct PlayTest : ::testing::Test
{
    testsupport::ScopedTestEnv env;
    std::string in = env.Path("in.wav");
    std::string out = env.Path("out.wav");
    void SetUp() override
    {
        env.Set("VARK_AUDIO", "capture:" + out);
        env.Set("VARK_AUDIO_SPEED", "10");
    }
};

} // namespace

TEST_F(PlayTest, MonoFileComesOutOnBothChannelsSampleForSample)
{
    const size_t frames = 16000 * 2 + 77;
    WriteMono(in, 16000, frames);
    const auto r = RunProcess({Tool(), "play", in, "--gain", "150", "--balance", "-20"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("OnVolumeBalanceChange 100 -10\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("OnState 1 0\n"), std::string::npos);
    EXPECT_NE(r.out.find("OnEndOfFile\n"), std::string::npos);
    const auto [left, right] = Captured(out);
    ASSERT_GE(left.size(), frames);
    for (size_t i = 0; i < frames; ++i)
    {
        ASSERT_EQ(left[i], Sample(i)) << i;
        ASSERT_EQ(right[i], Sample(i)) << i;
    }
}

TEST_F(PlayTest, SeekAndOffsetStartLater)
{
    WriteMono(in, 8000, 16000);
    for (const char* option : {"--seek", "--offset"})
    {
        const auto r = RunProcess({Tool(), "play", in, option, "1500"});
        ASSERT_EQ(r.exitCode, 0) << option << r.err;
        const auto [left, right] = Captured(out);
        ASSERT_GE(left.size(), 4000u) << option;
        for (size_t i = 0; i < 4000; ++i)
            ASSERT_EQ(left[i], Sample(12000 + i)) << option << " " << i;
    }
}

TEST_F(PlayTest, RingLoopsUntilInterrupted)
{
    WriteMono(in, 8000, 8000 * 2);
    testsupport::ChildProcess child({Tool(), "play", in, "--ring", "500-700"});
    // Two seconds of file; the loop keeps going well beyond them.
    ASSERT_TRUE(testsupport::WaitFor([&] { return Captured(out).first.size() > 8000 * 4; }, 60000));
    child.Signal(SIGINT);
    const auto status = child.Wait(30000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(child.Stdout().find("OnEndOfFile"), std::string::npos);
    EXPECT_NE(child.Stdout().find("OnRing 1 500 700"), std::string::npos) << child.Stdout();
    const auto left = Captured(out).first;
    for (size_t turn = 0; turn < 10; ++turn)
        for (size_t i = 0; i < 1600; ++i)
            ASSERT_EQ(left[turn * 1600 + i], Sample(4000 + i)) << turn << " " << i;
}

TEST_F(PlayTest, MonitorPushesTheFileAsALiveStream)
{
    const size_t frames = 8000 * 2;
    WriteMono(in, 8000, frames);
    const auto r = RunProcess({Tool(), "play", "--monitor", in});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("OnMonitor 1 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("OnMonitor 0 0\n"), std::string::npos) << r.out;
    const auto [left, right] = Captured(out);
    // All but the card's last, partly filled block.
    ASSERT_GE(left.size(), frames - 128);
    for (size_t i = 0; i < left.size(); ++i)
    {
        ASSERT_EQ(left[i], Sample(i)) << i;
        ASSERT_EQ(right[i], Sample(i)) << i;
    }
}

TEST_F(PlayTest, WrongUseAndMissingFiles)
{
    WriteMono(in, 8000, 800);
    EXPECT_EQ(RunProcess({Tool(), "play"}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "play", in, "--ring", "700-500"}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "play", in, "--ring", "x"}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "play", in, "--gain"}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "play", in, "--filter", "3"}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "play", in, "--seek", "-5"}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "play", in, "--monitor", in}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "play", in, "--bogus", "1"}).exitCode, 2);
    const auto missing = RunProcess({Tool(), "play", in, env.Path("none.wav")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Failed to open"), std::string::npos) << missing.err;
    // A ring beyond the end is refused by the core.
    EXPECT_EQ(RunProcess({Tool(), "play", in, "--ring", "0-5000"}).exitCode, 1);
}

TEST_F(PlayTest, DevicesListsTheOutputsAndOutputDevicePlaysOnOne)
{
    const std::string raw = env.Path("out.raw");
    testsupport::UseTestAlsa(env, raw);
    const auto list = RunProcess({Tool(), "devices"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out.rfind("default\tTest default\n", 0), 0u) << list.out;
    EXPECT_NE(list.out.find("vark_file\tTest file\n"), std::string::npos) << list.out;
    EXPECT_EQ(RunProcess({Tool(), "devices", "x"}).exitCode, 2);

    WriteMono(in, 8000, 800);
    const auto played = RunProcess({Tool(), "play", in, "--output-device", "vark_file"});
    ASSERT_EQ(played.exitCode, 0) << played.err;
    EXPECT_GE(testsupport::ReadFile(raw).size(), 800u * 4);
    const auto refused = RunProcess({Tool(), "play", in, "--output-device", "speakers"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("vark_file"), std::string::npos) << refused.err;
}

TEST_F(PlayTest, FilterOptionSetsTheGainsAndSwitchesTheFilterOn)
{
    WriteMono(in, 8000, 800);
    const auto r = RunProcess({Tool(), "play", in, "--filter", "6,-3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("OnObject 5 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("OnHLFilter 6 -3\n"), std::string::npos) << r.out;
    // The gains are kept in the settings file: put the neutral ones back for later runs.
    EXPECT_EQ(RunProcess({Tool(), "play", in, "--filter", "0,0"}).exitCode, 0);
}

TEST_F(PlayTest, ChainOptionsSetAndSwitchOnTheObjects)
{
    WriteMono(in, 8000, 800);
    const auto r = RunProcess({Tool(), "play", in, "--denoiser", "0,12000", "--agc", "20",
                               "--speech-search", "500", "--stretch", "-2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* line :
         {"OnDenoiser 0 12000\n", "OnObject 1 1\n", "OnAgc 20\n", "OnObject 2 1\n",
          "OnSpeechSearch 500\n", "OnObject 3 1\n", "OnStretcher -2\n", "OnEndOfFile\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
}

TEST_F(PlayTest, WrongChainEntriesAreRefusedWithTheirRange)
{
    WriteMono(in, 8000, 800);
    const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
        {{"--denoiser", "1"}, "6000..36000"},
        {{"--denoiser", "2,20000"}, "mode 0"},
        {{"--denoiser", "1,5999"}, "6000..36000"},
        {{"--denoiser", "1,x"}, "6000..36000"},
        {{"--agc", "0"}, "1..96"},
        {{"--agc", "97"}, "1..96"},
        {{"--speech-search", "299"}, "300..2000"},
        {{"--speech-search", "2001"}, "300..2000"},
        {{"--stretch", "7"}, "-7..6"},
        {{"--stretch", "-8"}, "-7..6"},
        {{"--stretch", "1.5"}, "-7..6"},
        {{"--agc", ""}, "1..96"},
    };
    for (const auto& [options, range] : wrong)
    {
        std::vector<std::string> argv = {Tool(), "play", in};
        argv.insert(argv.end(), options.begin(), options.end());
        const auto r = RunProcess(argv);
        EXPECT_EQ(r.exitCode, 2) << options[0] << " " << options[1];
        EXPECT_NE(r.err.find(options[0]), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(range), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out; // refused before the core starts
    }
    // The monitoring chain has no speech search, stretcher or filter.
    EXPECT_EQ(RunProcess({Tool(), "play", "--monitor", in, "--stretch", "2"}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "play", "--monitor", in, "--speech-search", "800"}).exitCode, 2);
}
