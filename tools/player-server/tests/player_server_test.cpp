// The real vark-player through the wrapper: activation by registration, the player core
// playing into the capture back end, events back as window messages.
#include "trillo/player_case.h"
#include "trillo/trillo.h"

#include "platform/little_endian.h"
#include "platform/text.h"
#include "platform/waveout.h"
#include "testsupport/sound.h"
#include "testsupport/test_env.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <mutex>

using namespace trillo;
using Clock = std::chrono::steady_clock;

namespace
{

using testsupport::HeardOnBothChannels;
using testsupport::MonoWav;

std::vector<pid_t> PlayersOf(const std::string& root)
{
    return testsupport::ProcessesUnder("vark-player", root);
}

class PlayerServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.Set("VARK_AUDIO", "capture:" + env.Path("heard.wav"));
        env.Set("VARK_AUDIO_SPEED", std::string("2"));
        ASSERT_TRUE(RegisterPlayerServerIfMissing(testsupport::BinDir() + "/vark-player"));
        ASSERT_EQ(CoInitialize(), S_OK);
        hwnd = platform::RegisterWindowHandle(
            [this](platform::UINT, platform::WPARAM w, platform::LPARAM l)
            {
                std::lock_guard lock(mutex);
                std::wstring title;
                if (w == player_code::kOpenFile) title = reinterpret_cast<const wchar_t*>(l);
                posted.push_back({w, l, title});
            });
    }
    void TearDown() override
    {
        TRIL_Clear();
        CoUninitialize();
        platform::UnregisterWindowHandle(hwnd);
        EXPECT_TRUE(testsupport::WaitFor([&] { return PlayersOf(env.Root()).empty(); }, 10000));
    }
    struct Posted
    {
        platform::WPARAM code;
        platform::LPARAM value;
        std::wstring title;
    };
    // Pumps until a message with `code` (after `from` messages) arrives.
    bool PumpUntil(platform::WPARAM code, size_t from, int timeoutMs)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < end)
        {
            {
                std::lock_guard lock(mutex);
                for (size_t i = from; i < posted.size(); ++i)
                    if (posted[i].code == code) return true;
            }
            PumpApartmentWait(50);
        }
        return false;
    }
    std::vector<Posted> Messages()
    {
        std::lock_guard lock(mutex);
        return posted;
    }

    testsupport::ScopedTestEnv env;
    platform::HWND hwnd = nullptr;
    std::mutex mutex;
    std::vector<Posted> posted;
};

TEST_F(PlayerServer, AnOpenedFileAnnouncesItselfPlaysToTheEndAndStops)
{
    const auto tone = testsupport::TestTone(8000 * 3 / 2); // 1.5 s at 8000 Hz
    testsupport::WriteFile(env.Path("in.wav"), MonoWav(tone, 8000));
    ASSERT_TRUE(TRIL_Init(-1, hwnd, kPlayerMessage, false, 200));
    ASSERT_TRUE(TRIL_OpenFile(platform::Utf8ToWide(env.Path("in.wav")).c_str()));
    EXPECT_TRUE(TRIL_FileIsLoaded());
    auto m = Messages();
    bool titled = false, sized = false;
    for (const auto& p : m)
    {
        if (p.code == player_code::kOpenFile) titled = !p.title.empty();
        if (p.code == player_code::kDuration && p.value == 1500) sized = true;
    }
    EXPECT_TRUE(titled);
    EXPECT_TRUE(sized);
    const size_t before = m.size();
    ASSERT_TRUE(TRIL_Play(1));
    ASSERT_TRUE(PumpUntil(player_code::kStop, before, 30000));
    m = Messages();
    bool played = false, moved = false;
    for (size_t i = before; i < m.size(); ++i)
    {
        played = played || m[i].code == player_code::kPlay;
        moved = moved || (m[i].code == player_code::kPosition && m[i].value > 0);
    }
    EXPECT_TRUE(played);
    EXPECT_TRUE(moved); // reports of the core's worker thread reach the window
    EXPECT_EQ(HeardOnBothChannels(env.Path("heard.wav"), tone), "");
}

TEST_F(PlayerServer, MonitoringDataIsHeardSampleForSample)
{
    ASSERT_TRUE(TRIL_Init(-1, hwnd, kPlayerMessage, false, 200));
    ASSERT_TRUE(TRIL_SetMonitoring(1));
    EXPECT_TRUE(TRIL_IsMoitoring());
    const auto tone = testsupport::TestTone(16000);
    std::vector<unsigned char> bytes(tone.size() * 2);
    for (size_t i = 0; i < tone.size(); ++i)
        platform::StoreLE16(bytes.data() + 2 * i, static_cast<uint16_t>(tone[i]));
    for (size_t at = 0; at < bytes.size(); at += 4000)
        ASSERT_TRUE(TRIL_SetSound(bytes.data() + at,
                                  int32_t(std::min<size_t>(4000, bytes.size() - at)), 1, 16000));
    EXPECT_FALSE(TRIL_SetSound(bytes.data(), 400, 3, 16000)); // no such channel layout
    ASSERT_TRUE(testsupport::WaitFor(
        [&]
        {
            PumpApartment();
            return HeardOnBothChannels(env.Path("heard.wav"), tone).empty();
        },
        30000))
        << HeardOnBothChannels(env.Path("heard.wav"), tone);
    ASSERT_TRUE(TRIL_SetMonitoring(0));
    EXPECT_TRUE(PumpUntil(player_code::kMonitor, 0, 5000));
}

TEST_F(PlayerServer, AFileThatCannotBeOpenedFailsAndTheNextOneWorks)
{
    testsupport::WriteFile(env.Path("junk.wav"), "RIFF....WAVEjunk");
    testsupport::WriteFile(env.Path("good.wav"), MonoWav(testsupport::TestTone(800), 8000));
    ASSERT_TRUE(TRIL_Init(-1, hwnd, kPlayerMessage, false, 200));
    EXPECT_FALSE(TRIL_OpenFile(platform::Utf8ToWide(env.Path("junk.wav")).c_str()));
    EXPECT_FALSE(TRIL_OpenFile(platform::Utf8ToWide(env.Path("missing.wav")).c_str()));
    EXPECT_FALSE(TRIL_FileIsLoaded());
    EXPECT_FALSE(TRIL_Play(1)); // nothing open
    EXPECT_TRUE(TRIL_OpenFile(platform::Utf8ToWide(env.Path("good.wav")).c_str()));
    EXPECT_TRUE(TRIL_FileIsLoaded());
    EXPECT_TRUE(TRIL_OpenFile(L"")); // closes
    EXPECT_FALSE(TRIL_FileIsLoaded());
}

TEST_F(PlayerServer, AKilledServerFailsFastAndNoServerOutlivesItsClient)
{
    ASSERT_TRUE(TRIL_Init(-1, hwnd, kPlayerMessage, false, 200));
    auto players = PlayersOf(env.Root());
    ASSERT_EQ(players.size(), 1u);
    ::kill(players[0], SIGKILL);
    const auto start = Clock::now();
    EXPECT_FALSE(TRIL_SetGain(40));
    EXPECT_EQ(TRIL_GetGain(), -1);
    TRIL_Clear();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    ASSERT_TRUE(TRIL_Init(-1, hwnd, kPlayerMessage, false, 200));
    EXPECT_TRUE(TRIL_SetGain(40));
    EXPECT_EQ(TRIL_GetGain(), 40);
    TRIL_Clear();
    EXPECT_TRUE(testsupport::WaitFor([&] { return PlayersOf(env.Root()).empty(); }, 10000));
}

TEST_F(PlayerServer, PlaysThroughTheChosenOutputDeviceAndAGoneOneFallsBackToTheDefault)
{
    const std::string raw = env.Path("out.raw");
    testsupport::UseTestAlsa(env, raw);
    const int file = platform::waveout::DeviceNumber("vark_file");
    ASSERT_GT(file, 0);
    const auto tone = testsupport::TestTone(8000 / 2); // 0.5 s at 8000 Hz
    testsupport::WriteFile(env.Path("in.wav"), MonoWav(tone, 8000));
    const auto playToTheEnd = [&](int device)
    {
        ASSERT_TRUE(TRIL_Init(device, hwnd, kPlayerMessage, false, 200));
        ASSERT_TRUE(TRIL_OpenFile(platform::Utf8ToWide(env.Path("in.wav")).c_str()));
        const size_t before = Messages().size();
        ASSERT_TRUE(TRIL_Play(1));
        EXPECT_TRUE(PumpUntil(player_code::kStop, before, 30000));
        TRIL_Clear();
        EXPECT_TRUE(testsupport::WaitFor([&] { return PlayersOf(env.Root()).empty(); }, 10000));
    };
    playToTheEnd(file);
    const std::string heard = testsupport::ReadFile(raw);
    EXPECT_GE(heard.size(), tone.size() * 4); // 16-bit stereo
    EXPECT_NE(heard.find_first_not_of('\0'), std::string::npos);

    ::unlink(raw.c_str());
    playToTheEnd(99); // no such device: the default (which discards) plays
    EXPECT_FALSE(testsupport::FileExists(raw));
}

} // namespace
