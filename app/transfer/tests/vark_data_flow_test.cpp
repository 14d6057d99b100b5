// The recorder data flow against the virtual recorder over a real socket, a recording player
// wrapper and a test clock: what is read, what is handed to the player and when, and how
// playback ends.
#include "flow_fakes.h"

#include "device/vark_device.h"
#include "platform/devio.h"
#include "platform/devio_server.h"
#include "platform/little_endian.h"
#include "platform/text.h"
#include "recorder/virtual_recorder.h"
#include "testsupport/test_env.h"
#include "transfer/g711.h"
#include "transfer/player_control.h"
#include "transfer/vark_data_flow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace vark;
using flowtest::Window;
using Calls = std::vector<std::string>;

namespace
{

constexpr uint32_t kMonoMu8k = 0, kStereoPcm16k = 1 | 2 | 4, kStereoPcm8k = 2 | 4, kStereoMu8k = 2;

std::vector<uint8_t> Noise(size_t n, uint32_t seed)
{
    std::vector<uint8_t> out(n);
    for (auto& b : out)
    {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    return out;
}

recorder::StoredRecord Record(uint32_t header, std::vector<uint8_t> data)
{
    recorder::StoredRecord r;
    r.start = 86400 * 300 + 3600 * 9 + 61;
    r.header = header;
    r.data = std::move(data);
    return r;
}

// 16-bit little-endian PCM of mu-law bytes.
std::vector<uint8_t> Expanded(const uint8_t* mu, size_t n)
{
    std::vector<uint8_t> out(2 * n);
    for (size_t i = 0; i < n; ++i)
        platform::StoreLE16(&out[2 * i], static_cast<uint16_t>(MuLawToLinear(mu[i])));
    return out;
}

std::wstring IsoDate(const platform::AutoDate& d)
{
    return platform::Utf8ToWide(d.Format("%Y-%m-%d"));
}
std::wstring IsoTime(const platform::AutoDate& d)
{
    return platform::Utf8ToWide(d.Format("%H:%M:%S"));
}

class FlowTest : public ::testing::Test
{
protected:
    void Plug(std::vector<recorder::StoredRecord> records, uint16_t firmware = 0x2C10)
    {
        recorder::RecorderImage image;
        image.identity.serial = 77;
        image.identity.firmware = firmware;
        image.records = std::move(records);
        fw = std::make_shared<recorder::RecorderFirmware>(image);
        plugged = std::make_unique<recorder::VirtualRecorder>(fw);
        ASSERT_TRUE(plugged->Plug());
        ASSERT_TRUE(dev.Open(plugged->DevicePath()));
        ASSERT_TRUE(dev.PresentAccessCode(L""));
    }
    void Adopt(uint16_t index)
    {
        flow.SetRecord(&dev, index);
        control = std::make_unique<PlayerControl>(window.Handle(), clock, tril);
        ASSERT_TRUE(control->Adopt(&flow));
        tril.Take();
        window.Take();
        fw->ClearRequestLog();
    }
    // Ticks every 200 ms while playing, at most `ms`; the clock time of each sound handed on
    // (relative to `start`) goes to `soundTimes`.
    void Run(int64_t ms, int64_t start, std::vector<int64_t>* soundTimes = nullptr)
    {
        const int64_t until = clock.now + ms;
        while (control->IsPlaying() && clock.now < until)
        {
            clock.now += 200;
            const size_t before = tril.sounds.size();
            control->Tick();
            if (soundTimes && tril.sounds.size() > before) soundTimes->push_back(clock.now - start);
        }
    }
    std::vector<intptr_t> Positions(const std::vector<Window::Message>& messages)
    {
        std::vector<intptr_t> out;
        for (const auto& m : messages)
            if (m.code == player_code::kPosition) out.push_back(m.value);
        return out;
    }
    std::vector<uint8_t> AllSound() const
    {
        std::vector<uint8_t> all;
        for (const auto& s : tril.sounds)
            all.insert(all.end(), s.bytes.begin(), s.bytes.end());
        return all;
    }
    // Whether the record was closed on the recorder after the last bulk read.
    bool ClosedAfterLastRead() const
    {
        bool closed = false;
        for (const auto& e : fw->RequestLog())
        {
            if (e.direction == 'R') closed = false;
            if (e.direction == 'W' && e.command == 11) closed = true;
        }
        return closed;
    }

    testsupport::ScopedTestEnv env;
    flowtest::FakeTril tril;
    flowtest::TestClock clock;
    Window window;
    std::shared_ptr<recorder::RecorderFirmware> fw;
    std::unique_ptr<recorder::VirtualRecorder> plugged;
    CVarkDevice dev;
    CVarkDataFlow flow{IsoDate, IsoTime};
    std::unique_ptr<PlayerControl> control;
};

TEST_F(FlowTest, OpenAnnouncesDurationSizeNameAndFormat)
{
    Plug({Record(kMonoMu8k, Noise(40000, 1)), Record(kStereoPcm16k, Noise(200000, 2))});
    flow.SetRecord(&dev, 1);
    PlayerControl c(window.Handle(), clock, tril);
    ASSERT_TRUE(c.Adopt(&flow));
    EXPECT_EQ(flow.BytesPerMs(), 64);
    EXPECT_EQ(flow.TotalBytes(), 200000);
    auto posted = window.Take();
    ASSERT_EQ(posted.size(), 4u);
    EXPECT_EQ(posted[0], (Window::Message{player_code::kDuration, 3125, {}}));
    EXPECT_EQ(posted[1], (Window::Message{player_code::kSize, 195, {}}));
    EXPECT_EQ(posted[2].code, player_code::kName);
    const RecordInfo info = DecodeRecordHeader(200000, Record(0, {}).start, kStereoPcm16k, 77);
    EXPECT_EQ(posted[2].text, L"Recording: 2, start time: " +
                                  platform::Utf8ToWide(info.start.Format("%Y-%m-%d %H:%M:%S")));
    EXPECT_EQ(posted[3].text, L"16000 Hz, stereo, PCM");
    EXPECT_EQ(posted[3].value, reinterpret_cast<intptr_t>(flow.FormatText().c_str()));

    // A compressed 8 kHz mono record: 16 PCM bytes per ms, twice its data size in PCM.
    flow.SetRecord(&dev, 0);
    ASSERT_TRUE(c.Adopt(&flow));
    EXPECT_EQ(flow.BytesPerMs(), 16);
    EXPECT_EQ(flow.TotalBytes(), 80000);
    posted = window.Take();
    EXPECT_EQ(posted[1], (Window::Message{player_code::kDuration, 5000, {}}));
    EXPECT_EQ(posted[4].text, L"8000 Hz, mono, mu");

    flow.SetRecord(&dev, 2); // no such record
    EXPECT_FALSE(c.Adopt(&flow));
    EXPECT_EQ(c.Flow(), nullptr);
}

// The whole record reaches the player decoded, 32 KiB at a time while the player holds less
// than that ahead, with nothing past the record's end, on both firmware kinds.
TEST_F(FlowTest, StreamsTheWholeRecordAndStopsOnceItHasPlayed)
{
    for (const uint16_t firmware : {uint16_t{0x2C10}, uint16_t{0x2000}})
    {
        SCOPED_TRACE(firmware);
        const auto data = Noise(40000, 3);
        Plug({Record(kMonoMu8k, data)}, firmware);
        Adopt(0);
        const int64_t start = clock.now;
        ASSERT_TRUE(control->Play());
        EXPECT_EQ(tril.Take(), (Calls{"SetMonitoring(1)", "SetSound(32768,1,8000)"}));
        std::vector<int64_t> soundTimes = {0};
        Run(20000, start, &soundTimes);
        ASSERT_FALSE(control->IsPlaying());
        EXPECT_EQ(soundTimes, (std::vector<int64_t>{0, 200, 2200}));
        EXPECT_EQ(tril.Take(), (Calls{"SetSound(32768,1,8000)", "SetSound(14464,1,8000)",
                                      "SetMonitoring(0)", "Play(0)"}));
        EXPECT_EQ(AllSound(), Expanded(data.data(), data.size()));

        // Stopped on the first tick once the record and the player's hold have run out.
        const int64_t stopTick = (5000 + CVarkDataFlow::kPlayOutMs + 199) / 200 * 200;
        EXPECT_EQ(clock.waits, std::vector<int>{500});
        EXPECT_EQ(clock.now - start, stopTick + 500);
        const auto posted = window.Take();
        const auto positions = Positions(posted);
        ASSERT_GE(positions.size(), 3u);
        EXPECT_EQ(positions[0], 0);
        EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end() - 1));
        EXPECT_EQ(positions[positions.size() - 2], 5000); // the duration is shown to the end
        EXPECT_EQ(positions.back(), 0);
        EXPECT_EQ(posted.front(), (Window::Message{player_code::kPlay, 0, {}}));
        EXPECT_EQ(posted.back(), (Window::Message{player_code::kStop, 0, {}}));
        EXPECT_TRUE(ClosedAfterLastRead());
        EXPECT_EQ(flow.LastFailure(), CVarkDataFlow::Failure::kNone);
        EXPECT_EQ(flow.FedBytes(), 0);

        control.reset();
        tril.sounds.clear();
        tril.Take();
        clock.waits.clear();
        dev.Close();
        plugged.reset();
    }
}

TEST_F(FlowTest, StereoFramesAreHandedOnAsALeftBlockThenARightBlock)
{
    std::vector<uint8_t> pcm(32), mu(16);
    std::vector<uint8_t> expected(32);
    for (int f = 0; f < 8; ++f)
    {
        platform::StoreLE16(&pcm[4 * f], static_cast<uint16_t>(100 + f));      // L
        platform::StoreLE16(&pcm[4 * f + 2], static_cast<uint16_t>(-200 - f)); // R
        platform::StoreLE16(&expected[2 * f], static_cast<uint16_t>(100 + f));
        platform::StoreLE16(&expected[16 + 2 * f], static_cast<uint16_t>(-200 - f));
        mu[2 * f] = static_cast<uint8_t>(0x10 + f);
        mu[2 * f + 1] = static_cast<uint8_t>(0x90 + f);
    }
    Plug({Record(kStereoPcm8k, pcm), Record(kStereoMu8k, mu)});
    Adopt(0);
    ASSERT_TRUE(control->Play());
    ASSERT_EQ(tril.sounds.size(), 1u);
    EXPECT_EQ(tril.sounds[0].channels, 2);
    EXPECT_EQ(tril.sounds[0].bytes, expected);

    std::vector<uint8_t> left, right;
    for (int f = 0; f < 8; ++f)
    {
        left.push_back(mu[2 * f]);
        right.push_back(mu[2 * f + 1]);
    }
    auto muExpected = Expanded(left.data(), 8);
    const auto r = Expanded(right.data(), 8);
    muExpected.insert(muExpected.end(), r.begin(), r.end());
    Adopt(1);
    ASSERT_TRUE(control->Play());
    ASSERT_EQ(tril.sounds.size(), 2u);
    EXPECT_EQ(tril.sounds[1].bytes, muExpected);
}

TEST_F(FlowTest, SetPositionRealignsTheFedPositionAndSeeks)
{
    const auto data = Noise(400000, 4);
    Plug({Record(kStereoPcm16k, data)});
    Adopt(0);
    flow.SetPosition(1000);
    EXPECT_EQ(flow.FedBytes(), 61440); // 64000 down to a multiple of 4096
    EXPECT_TRUE(tril.Take().empty());  // not playing: nothing but the position shown
    EXPECT_EQ(Positions(window.Take()), std::vector<intptr_t>{1000});

    const auto leftOf = [&](size_t from, size_t frames)
    {
        std::vector<uint8_t> out;
        for (size_t f = 0; f < frames; ++f)
            out.insert(out.end(), data.begin() + from + 4 * f, data.begin() + from + 4 * f + 2);
        return out;
    };
    ASSERT_TRUE(control->Play());
    EXPECT_EQ(window.Take().front(), (Window::Message{player_code::kPlay, 1000, {}}));
    ASSERT_EQ(tril.sounds.size(), 1u);
    EXPECT_EQ(
        std::vector<uint8_t>(tril.sounds[0].bytes.begin(), tril.sounds[0].bytes.begin() + 16384),
        leftOf(61440, 8192));

    clock.now += 200;
    control->Tick();
    tril.Take();
    flow.SetPosition(2000); // 128000 -> 126976
    EXPECT_EQ(tril.Take(), (Calls{"SetMonitoring(0)", "SetMonitoring(1)"}));
    clock.now += 200;
    control->Tick();
    ASSERT_EQ(tril.sounds.size(), 3u);
    EXPECT_EQ(
        std::vector<uint8_t>(tril.sounds[2].bytes.begin(), tril.sounds[2].bytes.begin() + 16384),
        leftOf(126976, 8192));
    EXPECT_EQ(Positions(window.Take()).back(), 2200);

    // paused, a jump only moves where the resume starts from; the player is left alone
    std::vector<int64_t> firsts;
    flow.soundFed = [&](int64_t first, const int16_t* frames, size_t count)
    {
        firsts.push_back(first);
        ASSERT_EQ(count, 8192u);
        EXPECT_EQ(uint16_t(frames[1]), platform::LoadLE16(&data[188416 + 2]));
    };
    control->TogglePause();
    tril.Take();
    flow.SetPosition(3000); // 192000 -> 188416
    EXPECT_TRUE(tril.Take().empty());
    control->TogglePause();
    control->Tick();
    EXPECT_EQ(firsts, std::vector<int64_t>{188416 / 4});

    flow.SetPosition(-5); // out of range: taken as the start
    EXPECT_EQ(flow.FedBytes(), 0);
}

TEST_F(FlowTest, RingLoopsTheLastSecondsUntilSwitchedOff)
{
    const auto data = Noise(40000, 5); // 5 s
    Plug({Record(kMonoMu8k, data)});
    Adopt(0);
    ASSERT_TRUE(control->Play());
    Run(4000, clock.now);
    tril.Take();
    window.Take();
    const size_t sounds = tril.sounds.size();
    flow.SetRing(10);
    EXPECT_EQ(flow.LoopStartMs(), 0);
    EXPECT_EQ(flow.LoopEndMs(), 4000);
    // At the loop's end already: streaming starts again from its start.
    EXPECT_EQ(tril.Take(),
              (Calls{"SetMonitoring(0)", "SetMonitoring(1)", "SetSound(32768,1,8000)"}));
    EXPECT_EQ(tril.sounds.back().bytes, tril.sounds.front().bytes);
    EXPECT_EQ(tril.sounds.size(), sounds + 1);

    Run(20000, clock.now);
    EXPECT_TRUE(control->IsPlaying()) << "a loop does not end on its own";
    const auto positions = Positions(window.Take());
    EXPECT_EQ(*std::max_element(positions.begin(), positions.end()), 4000);
    EXPECT_LT(*std::min_element(positions.begin(), positions.end()), 400);

    flow.SetRing(0);
    Run(20000, clock.now);
    EXPECT_FALSE(control->IsPlaying());
}

TEST_F(FlowTest, RingAtTheStartIsNoLoop)
{
    const auto data = Noise(40000, 5); // 5 s
    Plug({Record(kMonoMu8k, data)});
    Adopt(0);
    ASSERT_TRUE(control->Play());
    tril.Take();
    flow.SetRing(10);
    EXPECT_EQ(flow.LoopEndMs(), 0);
    EXPECT_TRUE(tril.Take().empty()) << "no restart of the stream";
    Run(2000, clock.now);
    const auto calls = tril.Take();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetMonitoring(0)"), 0);
    EXPECT_EQ(Positions(window.Take()).back(), 2000) << "playback goes on";
}

TEST_F(FlowTest, PauseFreezesThePositionAndResumeRealigns)
{
    const auto data = Noise(40000, 6);
    Plug({Record(kMonoMu8k, data)});
    Adopt(0);
    ASSERT_TRUE(control->Play());
    Run(1400, clock.now);
    tril.Take();
    window.Take();
    control->TogglePause();
    EXPECT_EQ(tril.Take(), Calls{"SetMonitoring(0)"});
    const size_t sounds = tril.sounds.size();
    clock.now += 60000; // long paused: no feeding, no end
    control->Tick();
    EXPECT_EQ(tril.sounds.size(), sounds);
    EXPECT_TRUE(control->IsPlaying());

    control->TogglePause();
    EXPECT_EQ(tril.Take(), Calls{"SetMonitoring(1)"});
    EXPECT_EQ(flow.FedBytes(), 20480); // 1400 ms x 16 = 22400, down to 4096s
    clock.now += 200;
    control->Tick();
    ASSERT_EQ(tril.sounds.size(), sounds + 1);
    EXPECT_EQ(tril.sounds.back().bytes, Expanded(data.data() + 10240, 16384));
    EXPECT_EQ(Positions(window.Take()), std::vector<intptr_t>{1600});
}

TEST_F(FlowTest, StopOnlyActsWhilePlaying)
{
    Plug({Record(kMonoMu8k, Noise(4000, 7))});
    Adopt(0);
    flow.Stop();
    EXPECT_TRUE(tril.Take().empty());
    EXPECT_TRUE(window.Take().empty());
    EXPECT_TRUE(clock.waits.empty());
    EXPECT_TRUE(fw->RequestLog().empty());

    ASSERT_TRUE(control->Play());
    flow.SetRing(3);
    tril.Take();
    window.Take();
    control->Stop();
    EXPECT_EQ(tril.Take(), (Calls{"SetMonitoring(0)", "Play(0)"}));
    EXPECT_EQ(clock.waits, std::vector<int>{500});
    EXPECT_EQ(window.Take(), (std::vector<Window::Message>{{player_code::kPosition, 0, {}},
                                                           {player_code::kStop, 0, {}}}));
    EXPECT_TRUE(ClosedAfterLastRead());
    EXPECT_EQ(flow.LoopEndMs(), 0);
    EXPECT_FALSE(flow.IsPlaying());
}

TEST_F(FlowTest, AFlowDestroyedWhilePlayingClosesTheRecord)
{
    Plug({Record(kMonoMu8k, Noise(40000, 11))});
    control = std::make_unique<PlayerControl>(window.Handle(), clock, tril);
    {
        CVarkDataFlow playing(IsoDate, IsoTime);
        playing.SetRecord(&dev, 0);
        ASSERT_TRUE(control->Adopt(&playing));
        ASSERT_TRUE(control->Play());
        tril.Take();
        fw->ClearRequestLog();
    }
    EXPECT_EQ(tril.Take(), (Calls{"SetMonitoring(0)", "Play(0)"}));
    EXPECT_TRUE(ClosedAfterLastRead());
    EXPECT_EQ(control->Flow(), nullptr);
    EXPECT_FALSE(control->IsPlaying());
}

// A read that fails or comes back short ends playback with the record closed; what was
// handed on before is the record's start, nothing shifted follows.
TEST_F(FlowTest, AShortOrFailedReadEndsPlaybackCleanly)
{
    struct Case
    {
        const char* fault;
        uint16_t firmware;
    };
    for (const Case& c :
         {Case{"short-read:1000,skip=5", 0x2C10}, Case{"short-read:1000,skip=1", 0x2000},
          Case{"unplug-after:40000", 0x2000}})
    {
        SCOPED_TRACE(c.fault);
        const auto data = Noise(80000, 8);
        Plug({Record(kMonoMu8k, data)}, c.firmware);
        Adopt(0);
        std::string error;
        const auto fault = recorder::ParseFault(c.fault, &error);
        ASSERT_TRUE(fault) << error;
        fw->AddFault(*fault);
        control->Play();
        Run(20000, clock.now);
        EXPECT_FALSE(control->IsPlaying());
        EXPECT_EQ(flow.LastFailure(), CVarkDataFlow::Failure::kRead);
        const auto calls = tril.Take();
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(Calls(calls.end() - 2, calls.end()), (Calls{"SetMonitoring(0)", "Play(0)"}));
        EXPECT_EQ(window.Take().back().code, player_code::kStop);
        const auto all = AllSound();
        EXPECT_EQ(all.size() % 32768, 0u);
        EXPECT_LT(all.size(), 160000u);
        EXPECT_EQ(all, Expanded(data.data(), all.size() / 2));
        if (!fw->UnpluggedByFault())
        {
            EXPECT_TRUE(ClosedAfterLastRead());
        }

        control.reset();
        tril.sounds.clear();
        dev.Close();
        plugged.reset();
    }
}

TEST_F(FlowTest, APlayerThatRefusesEndsPlaybackAndSaysSo)
{
    Plug({Record(kMonoMu8k, Noise(80000, 9))});
    Adopt(0);
    tril.failing = {"SetMonitoring"};
    EXPECT_FALSE(control->Play());
    EXPECT_EQ(flow.LastFailure(), CVarkDataFlow::Failure::kPlayer);
    EXPECT_TRUE(ClosedAfterLastRead());

    tril.failing = {"SetSound"}; // already at the first block
    EXPECT_FALSE(control->Play());
    EXPECT_FALSE(flow.IsPlaying());
    EXPECT_EQ(flow.LastFailure(), CVarkDataFlow::Failure::kPlayer);
    EXPECT_TRUE(ClosedAfterLastRead());

    tril.failing.clear();
    ASSERT_TRUE(control->Play());
    EXPECT_EQ(flow.LastFailure(), CVarkDataFlow::Failure::kNone);
    tril.failing = {"SetSound"}; // the server went away later
    Run(20000, clock.now);
    EXPECT_FALSE(control->IsPlaying());
    EXPECT_EQ(flow.LastFailure(), CVarkDataFlow::Failure::kPlayer);
    EXPECT_TRUE(ClosedAfterLastRead());
}

TEST_F(FlowTest, AStartThatFailsToSeekIsNotAnnouncedAsPlaying)
{
    Plug({Record(kMonoMu8k, Noise(80000, 11))});
    Adopt(0);
    window.Take();
    std::string error;
    const auto fault = recorder::ParseFault("fail:W13,times=1", &error);
    ASSERT_TRUE(fault) << error;
    fw->AddFault(*fault);
    EXPECT_FALSE(control->Play());
    EXPECT_EQ(flow.LastFailure(), CVarkDataFlow::Failure::kRead);
    // the window hands the controller what it received: nothing may say "playing"
    for (const Window::Message& m : window.Take())
        control->Notified(m.code);
    EXPECT_FALSE(control->IsPlaying());
    ASSERT_TRUE(control->Play()); // the next start plays
    EXPECT_TRUE(control->IsPlaying());
}

// A recorder that reports a data size beyond 31 bits: the size is clamped, and the reads
// that the record cannot deliver end playback instead of running on.
TEST_F(FlowTest, ADataSizeBeyondThirtyOneBitsIsClamped)
{
    const auto data = Noise(40000, 10);
    recorder::RecorderImage image;
    image.records = {Record(kStereoPcm16k, data)};
    auto firmware = std::make_shared<recorder::RecorderFirmware>(image);
    platform::devio::DeviceServer server;
    server.SetConnectionHook([firmware](uint64_t id, bool opened)
                             { firmware->ConnectionChanged(id, opened); });
    ASSERT_TRUE(server.Publish(platform::devio::kRecorderClassGuid, "huge",
                               [firmware](const platform::devio::DeviceRequest& r)
                               {
                                   auto a = firmware->Handle(r);
                                   if (r.op == platform::devio::kOpControl &&
                                       r.code == QueryCode(12) && a.output.size() >= 8)
                                       platform::StoreLE32(a.output.data() + 4, 0xFFFFFFF0u);
                                   return a;
                               }));
    ASSERT_TRUE(dev.Open(server.Path()));
    ASSERT_TRUE(dev.PresentAccessCode(L""));
    flow.SetRecord(&dev, 0);
    control = std::make_unique<PlayerControl>(window.Handle(), clock, tril);
    ASSERT_TRUE(control->Adopt(&flow));
    EXPECT_EQ(flow.Info().dataSize, 2147483647u);
    EXPECT_EQ(flow.TotalBytes(), 2147483647);
    const auto posted = window.Take();
    EXPECT_EQ(posted[0], (Window::Message{player_code::kDuration, 2147483647 / 64, {}}));
    EXPECT_EQ(posted[1], (Window::Message{player_code::kSize, 2147483647 >> 10, {}}));

    ASSERT_TRUE(control->Play());
    Run(20000, clock.now);
    EXPECT_FALSE(control->IsPlaying());
    EXPECT_EQ(flow.LastFailure(), CVarkDataFlow::Failure::kRead);
    control.reset();
    dev.Close();
}

} // namespace
