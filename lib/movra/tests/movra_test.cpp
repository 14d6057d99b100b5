// MOVRA end to end inside one process: commands and their reports, the worker playing real
// files into the capture back end, monitoring, and many threads at once.
#include "movra/movra.h"

#include "faltor/exceptions.h"
#include "platform/little_endian.h"
#include "platform/text.h"
#include "recording_host.h"
#include "testsupport/sound.h"
#include "testsupport/test_env.h"
#include "wave_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>

using namespace wavetest;
using testsupport::WaitFor;

namespace
{

struct Capture
{
    std::vector<int16_t> left, right;
};

// The frames a capture WAV holds.
Capture ReadCapture(const std::string& path)
{
    Capture c;
    for (const auto& [left, right] : testsupport::CapturedFrames(path))
    {
        c.left.push_back(left);
        c.right.push_back(right);
    }
    return c;
}

struct CoreTest : ::testing::Test
{
    testsupport::ScopedTestEnv env;
    RecordingHost host;
    std::string capture = env.Path("out.wav");

    std::unique_ptr<MOVRA> Make(bool captured = true, const char* speed = "10")
    {
        if (captured)
        {
            env.Set("VARK_AUDIO", "capture:" + capture);
            env.Set("VARK_AUDIO_SPEED", speed);
        }
        auto core = std::make_unique<MOVRA>(-1);
        core->CSetInterface(&host);
        return core;
    }
    std::wstring File(const std::string& name, uint32_t rate, uint16_t channels, size_t frames)
    {
        testsupport::WriteFile(env.Path(name), PcmFile(rate, channels, frames));
        return platform::Utf8ToWide(env.Path(name));
    }
    bool WaitLine(const std::string& line, int ms = 30000)
    {
        return WaitFor([&] { return host.Has(line); }, ms);
    }
};

} // namespace

TEST_F(CoreTest, InterfaceIsSetOnceAndNeverNull)
{
    MOVRA core(-1);
    EXPECT_THROW(core.CSetInterface(nullptr), INVALID_ARGUMENT);
    core.CSetInterface(&host);
    EXPECT_THROW(core.CSetInterface(&host), LOGIC_ERROR);
}

TEST_F(CoreTest, CommandsOnAClosedFileRefuseAndReportNothing)
{
    auto core = Make(false);
    host.Clear();
    long ms = 0;
    EXPECT_FALSE(core->CPlay());
    EXPECT_FALSE(core->CPause());
    EXPECT_FALSE(core->CStop());
    EXPECT_FALSE(core->CSetPos(100));
    EXPECT_FALSE(core->CRing(true, 0, 100));
    EXPECT_FALSE(core->CRing());
    EXPECT_FALSE(core->CGetPos(ms));
    EXPECT_FALSE(core->CGetSize(ms));
    EXPECT_FALSE(core->CIsOpen());
    EXPECT_FALSE(core->CCloseFile());
    std::vector<std::wstring> names;
    EXPECT_FALSE(core->CGetFile(names));
    for (const std::string& line : host.Lines())
        EXPECT_TRUE(line.rfind("OnLevelChanged", 0) == 0 || line.rfind("OnPositionChange", 0) == 0)
            << line; // only the worker's first periodic report may come
}

TEST_F(CoreTest, OpenReportsTheWholeStateAndMissingFilesFail)
{
    auto core = Make(false);
    const std::wstring file = File("a.wav", 8000, 1, 8000);
    host.Clear();
    ASSERT_TRUE(core->COpenFile({file}));
    const std::vector<std::string> expected = {"OnBegConf",
                                               "OnMonitor 0 0",
                                               "OnOpenFile " + platform::WideToUtf8(file),
                                               "OnSetFileSize 1000",
                                               "OnState 0 0",
                                               "OnPositionChange 0",
                                               "OnRingSize 3000",
                                               "OnRing 0 0 0",
                                               "OnLevelChanged 0 0",
                                               "OnVolumeBalanceChange 50 0",
                                               "OnEndConf"};
    std::vector<std::string> lines;
    for (const auto& l : host.Lines())
        if (l.rfind("OnMixer", 0) != 0) lines.push_back(l);
    // The worker's periodic lines may come first; the report itself is one block.
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - expected.size(), lines.end()), expected);
    long rate = 0, channels = 0, size = 0;
    EXPECT_TRUE(core->CGetFileSampleRate(rate));
    EXPECT_TRUE(core->CGetFileChannelsCount(channels));
    EXPECT_TRUE(core->CGetSize(size));
    EXPECT_EQ(rate, 8000);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(size, 1000);

    // A list with a missing file fails and leaves no file open.
    try
    {
        core->COpenFile({file, L"/nonexistent/x.wav"});
        FAIL() << "opened a missing file";
    }
    catch (const RUNTIME_ERROR& e)
    {
        EXPECT_NE(std::string(e.what()).find("Failed to open"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(core->CIsOpen());
    EXPECT_FALSE(core->CPlay());
}

TEST_F(CoreTest, PauseWhenStoppedAndWhenPaused)
{
    auto core = Make();
    ASSERT_TRUE(core->COpenFile({File("a.wav", 8000, 1, 80000)}));
    EXPECT_FALSE(core->CPause());
    ASSERT_TRUE(core->CPlay());
    EXPECT_TRUE(host.Has("OnState 1 0"));
    ASSERT_TRUE(core->CPause());
    EXPECT_EQ(host.Starting("OnState 2").size(), 1u);
    EXPECT_TRUE(core->CPause());
    EXPECT_EQ(host.Starting("OnState 2").size(), 1u); // no second report
    EXPECT_TRUE(core->CStop());
    EXPECT_TRUE(host.Has("OnState 0 0"));
}

TEST_F(CoreTest, RingDefaultsAndRefusals)
{
    auto core = Make(false);
    ASSERT_TRUE(core->COpenFile({File("a.wav", 8000, 1, 80000)})); // 10 s
    long size = 0;
    EXPECT_TRUE(core->CGetRingSize(size));
    EXPECT_EQ(size, 3000);
    EXPECT_FALSE(core->CRing()); // position 0 is below the ring size
    EXPECT_FALSE(core->CSetRingSize(0));
    EXPECT_FALSE(core->CRing(true, 3000, 1000));
    EXPECT_FALSE(core->CRing(true, 1000, 11000)); // beyond the end
    ASSERT_TRUE(core->CSetPos(5000));
    ASSERT_TRUE(core->CRing()); // the last 3000 ms before the position
    EXPECT_TRUE(host.Has("OnRing 1 2000 5000"));
    EXPECT_FALSE(core->CRing(true, 100, 200)); // ringing already
    ASSERT_TRUE(core->CSetRingSize(1500));
    EXPECT_TRUE(host.Has("OnRingSize 1500"));
    ASSERT_TRUE(core->CStop()); // leaves ring mode first
    EXPECT_TRUE(host.Has("OnRing 0 0 0"));
    EXPECT_TRUE(core->CRing(true, 100, 200));
    EXPECT_TRUE(core->CRing(false, 0, 0));
    EXPECT_TRUE(core->CRing(false, 0, 0)); // not ringing: nothing to end
}

TEST_F(CoreTest, GainAndBalanceAreClamped)
{
    auto core = Make(false);
    EXPECT_TRUE(core->CSetGain(150));
    EXPECT_TRUE(host.Has("OnVolumeBalanceChange 100 0"));
    EXPECT_TRUE(core->CSetBalance(-20));
    EXPECT_TRUE(host.Has("OnVolumeBalanceChange 100 -10"));
    long gain = 0, balance = 0;
    core->CGetGain(gain);
    core->CGetBalance(balance);
    EXPECT_EQ(gain, 100);
    EXPECT_EQ(balance, -10);
    EXPECT_TRUE(core->CSetGain(-3));
    core->CGetGain(gain);
    EXPECT_EQ(gain, 0);
}

TEST_F(CoreTest, ObjectParametersAndSwitches)
{
    auto core = Make(false);
    host.Clear();
    EXPECT_TRUE(core->CAgc(200));
    EXPECT_TRUE(core->CDenoiser(1, 100));
    EXPECT_TRUE(core->CStretcher(-8));
    EXPECT_TRUE(core->CSpeechSearch(1));
    EXPECT_TRUE(host.Has("OnAgc 96"));
    EXPECT_TRUE(host.Has("OnDenoiser 1 6000"));
    EXPECT_TRUE(host.Has("OnStretcher -7"));
    EXPECT_TRUE(host.Has("OnSpeechSearch 300"));
    long a = 0, b = 0;
    core->CGetDenoiser(a, b);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 6000);
    EXPECT_TRUE(core->CObject(0, 0)); // the mixer stays on: nothing happens
    EXPECT_FALSE(host.Has("OnObject 0 0"));
    EXPECT_TRUE(core->CObject(2, 1));
    EXPECT_TRUE(host.Has("OnObject 2 1"));
    EXPECT_TRUE(core->CObject(2, 5)); // not 0 or 1: ignored
    host.Clear();
    EXPECT_TRUE(core->CGetStateObjects());
    EXPECT_TRUE(host.Has("OnObject 0 1"));
    EXPECT_TRUE(host.Has("OnObject 2 1"));
    EXPECT_TRUE(host.Has("OnObject 4 1")); // the stretcher follows its step
    EXPECT_TRUE(host.Has("OnObject 5 0"));
    core->CSetMixer(3, true, true, 10, 10); // no such channel: refused, table reported
    EXPECT_TRUE(host.Has("OnMixerChannelsCounter 0"));
}

TEST_F(CoreTest, MonoFilePlaysOnBothSidesSampleForSample)
{
    const size_t frames = 8000 * 3 / 2;
    {
        auto core = Make();
        ASSERT_TRUE(core->COpenFile({File("in.wav", 8000, 1, frames)}));
        ASSERT_TRUE(core->CPlay());
        ASSERT_TRUE(WaitLine("OnEndOfFile"));
    }
    const Capture c = ReadCapture(capture);
    ASSERT_GE(c.left.size(), frames);
    const std::vector<int16_t> input = Interleaved(frames, 1);
    for (size_t i = 0; i < frames; ++i)
    {
        ASSERT_EQ(c.left[i], input[i]) << i;
        ASSERT_EQ(c.right[i], input[i]) << i;
    }
    // Only the silence that completes the last block follows.
    EXPECT_LT(c.left.size() - frames, 128u);
    for (size_t i = frames; i < c.left.size(); ++i)
        ASSERT_EQ(c.left[i], 0);
}

TEST_F(CoreTest, EndOfFileRewindsAndReportsInOrder)
{
    auto core = Make();
    ASSERT_TRUE(core->COpenFile({File("in.wav", 8000, 2, 4000)}));
    ASSERT_TRUE(core->CPlay());
    ASSERT_TRUE(WaitLine("OnEndOfFile"));
    const auto lines = host.Lines();
    const auto end = std::find(lines.begin(), lines.end(), "OnEndOfFile");
    ASSERT_GE(end - lines.begin(), 4);
    EXPECT_EQ(std::vector<std::string>(end - 4, end + 1),
              (std::vector<std::string>{"OnPositionChange 0", "OnLevelChanged 0 0", "OnState 0 0",
                                        "OnLevelChanged 0 0", "OnEndOfFile"}));
    long ms = -1;
    EXPECT_TRUE(core->CGetPos(ms));
    EXPECT_EQ(ms, 0);
    // Played again from the start, it ends again.
    host.Clear();
    ASSERT_TRUE(core->CPlay());
    EXPECT_TRUE(WaitLine("OnEndOfFile"));
}

TEST_F(CoreTest, EntryOffsetStartsInsideTheFile)
{
    {
        auto core = Make();
        ASSERT_TRUE(core->COpenFile({File("in.wav", 8000, 1, 6 * 8000) + L"<>5000"}));
        ASSERT_TRUE(core->CPlay());
        ASSERT_TRUE(WaitLine("OnEndOfFile"));
    }
    const Capture c = ReadCapture(capture);
    const std::vector<int16_t> input = Interleaved(8000, 1, 5 * 8000);
    ASSERT_GE(c.left.size(), input.size());
    for (size_t i = 0; i < input.size(); ++i)
        ASSERT_EQ(c.left[i], input[i]) << i;
}

TEST_F(CoreTest, RingLoopsUntilStopped)
{
    {
        auto core = Make();
        ASSERT_TRUE(core->COpenFile({File("in.wav", 8000, 1, 4 * 8000)}));
        ASSERT_TRUE(core->CRing(true, 1000, 1200));
        ASSERT_TRUE(core->CPlay());
        // Four seconds of file; at ten times real time that is gone after 0.4 s, but
        // the ring goes on.
        ASSERT_TRUE(WaitFor([&] { return ReadCapture(capture).left.size() >= 3 * 8000; }, 30000));
        EXPECT_FALSE(host.Has("OnEndOfFile"));
        ASSERT_TRUE(core->CStop());
    }
    const Capture c = ReadCapture(capture);
    const std::vector<int16_t> loop = Interleaved(1600, 1, 8000);
    // The first turns of the loop, each the same 200 ms.
    for (size_t turn = 0; turn < 5; ++turn)
        for (size_t i = 0; i < loop.size(); ++i)
            ASSERT_EQ(c.left[turn * loop.size() + i], loop[i]) << turn << " " << i;
}

TEST_F(CoreTest, MonitoringPutWhileClosedIsDropped)
{
    auto core = Make(false);
    const std::vector<signed char> bytes(1600, 1);
    EXPECT_TRUE(core->CMonitoringPut(bytes, 1, 8000));
    EXPECT_FALSE(core->CIsOpen());
    ASSERT_TRUE(core->CMonitoringOpen(7));
    EXPECT_FALSE(core->CMonitoringPut(bytes, 0, 8000)); // no channels
    EXPECT_FALSE(core->CMonitoringPut(bytes, 1, 0));    // no rate
    EXPECT_TRUE(core->CMonitoringPut(bytes, 1, 8000));
}

TEST_F(CoreTest, FileAndMonitoringSwitch)
{
    auto core = Make(false);
    const std::wstring file = File("a.wav", 8000, 1, 80000);
    ASSERT_TRUE(core->COpenFile({file}));
    ASSERT_TRUE(core->CMonitoringOpen(42));
    EXPECT_TRUE(host.Has("OnMonitor 1 42"));
    std::vector<std::wstring> names;
    EXPECT_TRUE(core->CGetFile(names)); // the file stays open behind the stream
    EXPECT_TRUE(core->CIsOpen());
    ASSERT_TRUE(core->CMonitoringClose());
    EXPECT_TRUE(host.Has("OnMonitor 0 0"));
    EXPECT_TRUE(core->CIsOpen()); // the file is active again
    ASSERT_TRUE(core->CPlay());

    ASSERT_TRUE(core->CMonitoringOpen(5));
    host.Clear();
    ASSERT_TRUE(core->COpenFile({file})); // a file closes monitoring
    EXPECT_TRUE(host.Has("OnMonitor 0 0"));
    EXPECT_FALSE(host.Has("OnMonitor 1 5"));
    EXPECT_TRUE(core->CIsOpen());
}

namespace
{
// `n` samples from `from` as the bytes a host pushes: 16-bit little-endian.
std::vector<signed char> PcmBytes(const std::vector<int16_t>& samples, size_t from, size_t n)
{
    std::vector<signed char> bytes(2 * n);
    for (size_t i = 0; i < n; ++i)
        platform::StoreLE16(reinterpret_cast<uint8_t*>(bytes.data()) + 2 * i,
                            static_cast<uint16_t>(samples[from + i]));
    return bytes;
}
} // namespace

// 2 s of 8 kHz mono in 100 ms pieces and a last piece that fills neither a read block nor
// a card block: every sample is heard, the end included; only silence may follow.
TEST_F(CoreTest, MonitoringStreamPlaysAsPushedToTheLastSample)
{
    const size_t frames = 8000 * 2 + 77;
    const std::vector<int16_t> input = Interleaved(frames, 1);
    {
        auto core = Make();
        ASSERT_TRUE(core->CMonitoringOpen(1));
        for (size_t at = 0; at < frames; at += 800)
        {
            const size_t n = std::min<size_t>(800, frames - at);
            ASSERT_TRUE(core->CMonitoringPut(PcmBytes(input, at, n), 1, 8000));
        }
        ASSERT_TRUE(WaitFor([&] { return ReadCapture(capture).left.size() >= frames; }, 30000))
            << ReadCapture(capture).left.size();
    }
    const Capture c = ReadCapture(capture);
    for (size_t i = 0; i < c.left.size(); ++i)
    {
        const int16_t expected = i < frames ? input[i] : 0;
        ASSERT_EQ(c.left[i], expected) << i;
        ASSERT_EQ(c.right[i], expected) << i;
    }
}

// A stream that ends before the core has collected its usual second is played all the same
// once nothing more arrives.
TEST_F(CoreTest, AMonitoringStreamShorterThanTheCollectTargetIsPlayed)
{
    const size_t frames = 8000 * 4 / 10 + 33; // 0.4 s
    const std::vector<int16_t> input = Interleaved(frames, 1);
    {
        auto core = Make(true, "1");
        ASSERT_TRUE(core->CMonitoringOpen(1));
        // The stream starts a while after it was opened, as a host's stream does: the core
        // has begun collecting by then.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_TRUE(core->CMonitoringPut(PcmBytes(input, 0, frames), 1, 8000));
        ASSERT_TRUE(WaitFor([&] { return ReadCapture(capture).left.size() >= frames; }, 10000))
            << ReadCapture(capture).left.size();
    }
    const Capture c = ReadCapture(capture);
    for (size_t i = 0; i < c.left.size(); ++i)
        ASSERT_EQ(c.left[i], i < frames ? input[i] : 0) << i;
}

// The gain control and the noise reducer hold sound back in their delay lines; a live stream
// has no end mark to let it out, so once the stream is quiet the core does, and the end is
// heard. Sound pushed after that is played too.
TEST_F(CoreTest, AStreamThroughHoldingObjectsIsHeardToItsEnd)
{
    const size_t frames = 8000 * 2;
    const std::vector<int16_t> input = Interleaved(frames, 1);
    auto rms = [](const std::vector<int16_t>& left, size_t from, size_t to)
    {
        double sum = 0;
        for (size_t i = from; i < to; ++i)
            sum += double(left.at(i)) * left.at(i);
        return std::sqrt(sum / double(to - from));
    };
    {
        auto core = Make();
        ASSERT_TRUE(core->CAgc(30));
        ASSERT_TRUE(core->CDenoiser(1, 20000));
        ASSERT_TRUE(core->CObject(MOVRA::OBJ_ID_AGC, 1));
        ASSERT_TRUE(core->CObject(MOVRA::OBJ_ID_DENOISER, 1));
        ASSERT_TRUE(core->CMonitoringOpen(1));
        for (size_t at = 0; at < frames; at += 800)
            ASSERT_TRUE(core->CMonitoringPut(PcmBytes(input, at, 800), 1, 8000));
        ASSERT_TRUE(WaitFor([&] { return ReadCapture(capture).left.size() >= frames; }, 15000))
            << "held back: " << frames - ReadCapture(capture).left.size() << " frames";
        // The last tenth of a second of the stream is sound, not padding.
        const std::vector<int16_t> heard = ReadCapture(capture).left;
        const double middle = rms(heard, frames / 2 - 800, frames / 2);
        ASSERT_GT(middle, 100.0);
        EXPECT_GT(rms(heard, frames - 800, frames), 0.3 * middle);

        const size_t before = ReadCapture(capture).left.size();
        ASSERT_TRUE(core->CMonitoringPut(PcmBytes(input, 0, 8000), 1, 8000));
        ASSERT_TRUE(
            WaitFor([&] { return ReadCapture(capture).left.size() >= before + 8000; }, 15000));
        EXPECT_GT(rms(ReadCapture(capture).left, before + 4000, before + 8000), 0.3 * middle);
    }
}

TEST_F(CoreTest, ManyThreadsAndAReentrantHostNeverDeadlock)
{
    auto owner = Make();
    MOVRA* core = owner.get();
    const std::wstring file = File("a.wav", 8000, 2, 8000 * 20);
    // The host calls back into the core from its handlers, on the notifying thread.
    std::atomic<int> reentered{0};
    host.onLine = [&](const std::string& line)
    {
        if (line.rfind("OnState", 0) == 0 || line.rfind("OnPositionChange", 0) == 0)
        {
            long ms = 0;
            core->CGetPos(ms);
            ++reentered;
        }
    };
    ASSERT_TRUE(core->COpenFile({file}));
    ASSERT_TRUE(core->CPlay());
    std::vector<std::thread> threads;
    std::atomic<int> done{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(
            [&, t]
            {
                for (int i = 0; i < 150; ++i)
                {
                    long v = 0;
                    switch ((i + t) % 8)
                    {
                    case 0:
                        core->CPlay();
                        break;
                    case 1:
                        core->CPause();
                        break;
                    case 2:
                        core->CSetPos((i * 137) % 15000);
                        break;
                    case 3:
                        core->CGetPos(v);
                        break;
                    case 4:
                        core->CSetGain(i % 101);
                        break;
                    case 5:
                        core->CRing(i % 2 == 0, 1000, 2000);
                        break;
                    case 6:
                        core->CGetState();
                        break;
                    case 7:
                        core->CObject(5, i % 2);
                        break;
                    }
                }
                ++done;
            });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(done.load(), 4);
    EXPECT_GT(reentered.load(), 0);
    EXPECT_TRUE(core->CStop());
    owner.reset(); // the worker ends before the handler goes
    host.onLine = nullptr;
}

TEST_F(CoreTest, AFailingCycleClosesTheSourceAndTheCoreServesOn)
{
    auto core = Make();
    // The gain control cannot serve 500 Hz: its rebuild fails inside the worker's cycle.
    ASSERT_TRUE(core->COpenFile({File("low.wav", 500, 1, 2000)}));
    ASSERT_TRUE(core->CObject(MOVRA::OBJ_ID_AGC, 1));
    host.Clear();
    ASSERT_TRUE(core->CPlay());
    ASSERT_TRUE(WaitLine("OnCloseFile"));
    EXPECT_FALSE(core->CIsOpen());
    EXPECT_TRUE(host.Has("OnSetFileSize 0"));

    ASSERT_TRUE(core->CObject(MOVRA::OBJ_ID_AGC, 0));
    host.Clear();
    ASSERT_TRUE(core->COpenFile({File("ok.wav", 8000, 1, 4000)}));
    ASSERT_TRUE(core->CPlay());
    EXPECT_TRUE(WaitLine("OnEndOfFile"));
}

TEST_F(CoreTest, FilesSideBySideAreMixedOntoBothSides)
{
    const size_t shortFrames = 4000, longFrames = 6000;
    {
        auto core = Make();
        ASSERT_TRUE(core->COpenFile(
            {File("a.wav", 8000, 1, shortFrames), File("b.wav", 8000, 1, longFrames)}));
        long size = 0, channels = 0;
        core->CGetSize(size);
        core->CGetFileChannelsCount(channels);
        EXPECT_EQ(size, 750); // the longer file
        EXPECT_EQ(channels, 2);
        ASSERT_TRUE(core->CPlay());
        ASSERT_TRUE(WaitLine("OnEndOfFile"));
        EXPECT_TRUE(host.Has("OnMixerChannelsCounter 2"));
    }
    const Capture c = ReadCapture(capture);
    const std::vector<int16_t> ramp = Interleaved(longFrames, 1);
    ASSERT_GE(c.left.size(), longFrames);
    for (size_t i = 0; i < longFrames; ++i)
    {
        // Both files hold the same ramp; the first is silent after its end.
        const int sum = i < shortFrames ? 2 * ramp[i] : ramp[i];
        const auto expected = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
        ASSERT_EQ(c.left[i], expected) << i;
        ASSERT_EQ(c.right[i], expected) << i;
    }
}

TEST_F(CoreTest, PositionReportsFollowWhatIsHeard)
{
    auto core = Make(true, "4");
    ASSERT_TRUE(core->COpenFile({File("in.wav", 8000, 1, 8 * 8000)}));
    host.Clear();
    ASSERT_TRUE(core->CPlay());
    ASSERT_TRUE(WaitLine("OnEndOfFile"));
    std::vector<long> positions;
    for (const std::string& line : host.Lines())
    {
        if (line == "OnState 0 0") break; // the stop at the end
        if (line.rfind("OnPositionChange ", 0) == 0)
            positions.push_back(std::stol(line.substr(17)));
    }
    ASSERT_GE(positions.size(), 4u);
    ASSERT_EQ(positions.back(), 0); // the rewind, reported just before the stop
    positions.pop_back();
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()))
        << ::testing::PrintToString(positions);
    EXPECT_GT(positions.back(), 4000); // well into the file before the end
    EXPECT_LE(positions.back(), 8000);
}
