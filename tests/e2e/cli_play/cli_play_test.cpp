#include "testsupport/sound.h"
#include "testsupport/test_env.h"

#include <csignal>
#include <gtest/gtest.h>

namespace
{

class CliPlay : public ::testing::Test
{
protected:
    CliPlay()
    {
        env.Set("LC_ALL", std::string("C"));
        env.Set("VARK_AUDIO", "capture:" + env.Path("out.wav"));
        env.Set("VARK_AUDIO_SPEED", std::string("8"));
    }
    ~CliPlay() override
    {
        EXPECT_TRUE(testsupport::WaitFor(
            [&] { return testsupport::ProcessesUnder("vark-player", env.Root()).empty(); }, 10000));
    }
    testsupport::ProcessResult Play(std::vector<std::string> args)
    {
        args.insert(args.begin(), {testsupport::BinDir() + "/vark-cli", "play"});
        return testsupport::RunProcess(args, "", 120000);
    }
    testsupport::ScopedTestEnv env;
};

TEST_F(CliPlay, PlaysAMonoFileToTheEndOnBothChannels)
{
    const auto tone = testsupport::TestTone(8000 * 2);
    testsupport::WriteFile(env.Path("in.wav"), testsupport::MonoWav(tone, 8000));
    const auto r = Play({env.Path("in.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("open "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("duration 2000\n"), std::string::npos) << r.out;
    const auto play = r.out.find("play 0\n");
    ASSERT_NE(play, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("position ", play), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("stop 0\n", play), std::string::npos) << r.out;
    EXPECT_EQ(testsupport::HeardOnBothChannels(env.Path("out.wav"), tone), "");
}

TEST_F(CliPlay, CtrlCStopsCleanly)
{
    env.Set("VARK_AUDIO_SPEED", std::string("1"));
    testsupport::WriteFile(env.Path("long.wav"),
                           testsupport::MonoWav(testsupport::TestTone(8000 * 30), 8000));
    testsupport::ChildProcess cli(
        {testsupport::BinDir() + "/vark-cli", "play", env.Path("long.wav")});
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return cli.Stdout().find("play 0") != std::string::npos; }, 30000))
        << cli.Stderr();
    ASSERT_TRUE(cli.Signal(SIGINT));
    const auto status = cli.Wait(20000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0) << cli.Stderr();
    const std::string out = cli.Stdout();
    EXPECT_NE(out.find("stop ", out.find("play 0")), std::string::npos) << out;
}

// Looping the last second: positions go back instead of reaching the end, until Ctrl+C.
TEST_F(CliPlay, RingLoopsTheLastSecondsUntilCtrlC)
{
    env.Set("VARK_AUDIO_SPEED", std::string("4"));
    testsupport::WriteFile(env.Path("in.wav"),
                           testsupport::MonoWav(testsupport::TestTone(8000 * 3), 8000));
    testsupport::ChildProcess cli(
        {testsupport::BinDir() + "/vark-cli", "play", env.Path("in.wav"), "--ring", "1"});
    const auto loopedBack = [&]
    {
        const std::string out = cli.Stdout();
        const auto ring = out.find("ring 1\n");
        if (ring == std::string::npos) return false;
        long last = -1;
        for (size_t at = out.find("position ", ring); at != std::string::npos;
             at = out.find("position ", at + 1))
        {
            const long value = std::stol(out.substr(at + 9));
            if (last >= 0 && value < last) return true;
            last = value;
        }
        return false;
    };
    ASSERT_TRUE(testsupport::WaitFor(loopedBack, 60000)) << cli.Stdout() << cli.Stderr();
    const std::string out = cli.Stdout();
    EXPECT_EQ(out.find("stop ", out.find("play 0")), std::string::npos)
        << "the loop ended on its own: " << out;
    ASSERT_TRUE(cli.Signal(SIGINT));
    const auto status = cli.Wait(20000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0) << cli.Stderr();
}

TEST_F(CliPlay, BadFilesAndOptionsFail)
{
    testsupport::WriteFile(env.Path("junk.wav"), "RIFF\x10\0\0\0WAVEjunkjunk");
    auto r = Play({env.Path("junk.wav")});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
    r = Play({env.Path("missing.wav")});
    EXPECT_EQ(r.exitCode, 1);
    testsupport::WriteFile(env.Path("in.wav"),
                           testsupport::MonoWav(testsupport::TestTone(80), 8000));
    EXPECT_EQ(Play({env.Path("in.wav"), "--gain", "loud"}).exitCode, 2);
    EXPECT_EQ(Play({env.Path("in.wav"), "--gain", "101"}).exitCode, 2);
    EXPECT_EQ(Play({env.Path("in.wav"), "--denoiser", "1"}).exitCode, 2);
    EXPECT_EQ(Play({env.Path("in.wav"), "--ring", "0"}).exitCode, 2);
    EXPECT_EQ(Play({}).exitCode, 2);
}

TEST_F(CliPlay, PlaysOnTheOutputDeviceNamedAndRefusesAnUnknownOne)
{
    const std::string raw = env.Path("out.raw");
    testsupport::UseTestAlsa(env, raw);
    const auto tone = testsupport::TestTone(800);
    testsupport::WriteFile(env.Path("in.wav"), testsupport::MonoWav(tone, 8000));
    auto r = Play({env.Path("in.wav"), "--output-device", "vark_file"});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_GE(testsupport::ReadFile(raw).size(), tone.size() * 4);
    r = Play({env.Path("in.wav"), "--output-device", "speakers"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("'speakers' (the outputs: default, "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("vark_file"), std::string::npos) << r.err;
}

} // namespace
