// Records of the demo recorder played by vark-cli through the recorder data flow and the real
// player server: what the capture back end heard is the record's decoded sound, first sample
// to last, also when the flash returns correctable bit errors; failures end playback.
#include "recorder/image.h"
#include "testsupport/sound.h"
#include "testsupport/test_env.h"
#include "transfer/g711.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

using testsupport::BinDir;
using testsupport::RunProcess;

namespace
{

using Frame = std::pair<int16_t, int16_t>;

int16_t Saturated(int v)
{
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

// What the player plays of a mu-law record: mono on both sides; stereo summed onto both sides
// by the player's mixer at its default levels.
std::vector<Frame> Heard(const recorder::StoredRecord& r)
{
    std::vector<int16_t> s(r.data.size());
    vark::MuLawExpand(r.data.data(), r.data.size(), s.data());
    std::vector<Frame> out;
    if (r.header & recorder::kHeaderStereo)
        for (size_t i = 0; i + 1 < s.size(); i += 2)
        {
            const int16_t mixed = Saturated(s[i] + s[i + 1]);
            out.emplace_back(mixed, mixed);
        }
    else
        for (int16_t v : s)
            out.emplace_back(v, v);
    return out;
}

// Whether vark-cli has printed a position of at least `ms`.
bool PositionReached(const std::string& out, long ms)
{
    for (size_t at = out.find("position "); at != std::string::npos;
         at = out.find("position ", at + 1))
        if (std::atol(out.c_str() + at + 9) >= ms) return true;
    return false;
}

class PlayRecord : public ::testing::Test
{
protected:
    PlayRecord()
    {
        env.Set("LC_ALL", std::string("C"));
        env.Set("VARK_AUDIO", "capture:" + env.Path("out.wav"));
        const auto made = RunProcess(
            {BinDir() + "/vark-recorder", "make-image", env.Path("img"), "--demo"}, "", 120000);
        EXPECT_EQ(made.exitCode, 0) << made.err;
        std::string error;
        EXPECT_TRUE(recorder::LoadImage(env.Path("img"), &image, &error)) << error;
    }
    ~PlayRecord() override
    {
        plugged.reset();
        EXPECT_TRUE(testsupport::WaitFor(
            [&] { return testsupport::ProcessesUnder("vark-player", env.Root()).empty(); }, 10000));
    }
    void Plug(std::vector<std::string> extra = {})
    {
        std::vector<std::string> argv = {BinDir() + "/vark-recorder", "plug", env.Path("img")};
        argv.insert(argv.end(), extra.begin(), extra.end());
        plugged = std::make_unique<testsupport::ChildProcess>(argv);
        ASSERT_TRUE(testsupport::WaitForRecorder(env, 60000)) << plugged->Stderr();
    }
    testsupport::ProcessResult Play(std::vector<std::string> args)
    {
        args.insert(args.begin(), {BinDir() + "/vark-cli", "play"});
        return RunProcess(args, "", 120000);
    }
    testsupport::ScopedTestEnv env;
    recorder::RecorderImage image;
    std::unique_ptr<testsupport::ChildProcess> plugged;
};

TEST_F(PlayRecord, TheFirstRecordIsHeardWholeOnBothChannels)
{
    ASSERT_GE(image.records.size(), 3u);
    const auto& record = image.records[0];
    ASSERT_FALSE(record.header & recorder::kHeaderStereo);
    ASSERT_EQ(image.identity.firmware, 0x2C10); // page format: every page is checked
    Plug();
    const auto r = Play({"--record", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    const size_t ms = record.data.size() * 2 / 16;
    EXPECT_NE(r.out.find("duration " + std::to_string(ms) + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("name Recording: 1, start time: 2026-11-02 09:00:05\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("format 8000 Hz, mono, mu\n"), std::string::npos) << r.out;
    // The position runs up to the duration, and returns to 0 with the stop.
    EXPECT_NE(r.out.find("position " + std::to_string(ms) + "\n"), std::string::npos) << r.out;
    const auto tail = r.out.substr(r.out.rfind("position "));
    EXPECT_EQ(tail, "position 0\nstop 0\n");
    EXPECT_EQ(
        testsupport::CompareHeard(testsupport::CapturedFrames(env.Path("out.wav")), Heard(record)),
        "");
}

// Single-bit flash errors in the data and in the stored codes of a stereo record: the sound
// is what the record holds, its two channels split for the player.
TEST_F(PlayRecord, AStereoRecordWithCorrectableFlashErrorsSoundsAsStored)
{
    const size_t index = 2;
    const auto& record = image.records[index];
    ASSERT_TRUE(record.header & recorder::kHeaderStereo);
    ASSERT_FALSE(record.header & recorder::kHeaderUncompressed);
    std::vector<std::string> faults = {"--fault", "flip-code:2,byte=1,bit=5,record=2"};
    int flips = 0;
    for (size_t sector = 5; (sector + 1) * 512 <= record.data.size() && flips < 4; sector += 17)
    {
        const auto begin = record.data.begin() + static_cast<std::ptrdiff_t>(sector * 512);
        // A sector of one repeated byte reads as never programmed and is not checked.
        if (std::all_of(begin, begin + 512, [&](uint8_t b) { return b == *begin; })) continue;
        faults.push_back("--fault");
        faults.push_back("flip-data:" + std::to_string(sector) +
                         ",byte=" + std::to_string(37 * sector % 512) +
                         ",bit=" + std::to_string(sector % 8) + ",record=2");
        ++flips;
    }
    ASSERT_EQ(flips, 4);
    Plug(faults);
    const auto r = Play({"--record", std::to_string(index + 1)});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("format 8000 Hz, stereo, mu\n"), std::string::npos) << r.out;
    EXPECT_EQ(
        testsupport::CompareHeard(testsupport::CapturedFrames(env.Path("out.wav")), Heard(record)),
        "");
}

TEST_F(PlayRecord, CtrlCStopsAndLeavesTheRecorderUsable)
{
    Plug();
    testsupport::ChildProcess cli({BinDir() + "/vark-cli", "play", "--record", "3"});
    ASSERT_TRUE(testsupport::WaitFor([&] { return PositionReached(cli.Stdout(), 1000); }, 30000))
        << cli.Stdout() << cli.Stderr();
    ASSERT_TRUE(cli.Signal(SIGINT));
    const auto status = cli.Wait(20000);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0) << cli.Stderr();
    const std::string out = cli.Stdout();
    EXPECT_EQ(out.substr(out.rfind("position ")), "position 0\nstop 0\n");
    const auto list = RunProcess({BinDir() + "/vark-cli", "list"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    const auto again = Play({"--record", "5", "--from", "4000"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("play 4000\n"), std::string::npos) << again.out;
}

TEST_F(PlayRecord, AShortReadEndsPlaybackWithAMessage)
{
    // On page-format firmware every page is one transfer: the 16th comes back short.
    Plug({"--fault", "short-read:100,skip=15"});
    const auto r = Play({"--record", "3"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.err.find("reading record 3 failed"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.substr(r.out.rfind("position ")), "position 0\nstop 0\n");
    const auto heard = testsupport::CapturedFrames(env.Path("out.wav"));
    const auto whole = Heard(image.records[2]);
    EXPECT_LT(heard.size(), whole.size() / 2);
}

TEST_F(PlayRecord, APlayerServerThatDiesEndsPlayback)
{
    Plug();
    testsupport::ChildProcess cli({BinDir() + "/vark-cli", "play", "--record", "3"});
    ASSERT_TRUE(testsupport::WaitFor([&] { return PositionReached(cli.Stdout(), 600); }, 30000))
        << cli.Stdout() << cli.Stderr();
    const auto servers = testsupport::ProcessesUnder("vark-player", env.Root());
    ASSERT_EQ(servers.size(), 1u);
    ASSERT_EQ(::kill(servers[0], SIGKILL), 0);
    const auto status = cli.Wait(20000);
    ASSERT_TRUE(status.has_value()) << "vark-cli hangs: " << cli.Stdout();
    EXPECT_EQ(*status, 1);
    EXPECT_NE(cli.Stderr().find("the player stopped answering"), std::string::npos) << cli.Stderr();
}

TEST_F(PlayRecord, WrongEntriesAreRefused)
{
    Plug();
    EXPECT_EQ(Play({"--record", "0"}).exitCode, 2);
    EXPECT_EQ(Play({"--record", "1", env.Path("img/record-000.raw")}).exitCode, 2);
    const auto missing = Play({"--record", "99"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("there is no record 99 (the recorder holds 8)"), std::string::npos)
        << missing.err;
    const auto beyond = Play({"--record", "1", "--from", "600000"});
    EXPECT_EQ(beyond.exitCode, 2);
    EXPECT_NE(beyond.err.find("--from is beyond the end of record 1"), std::string::npos)
        << beyond.err;
}

} // namespace
