// The real vark-player through the wrapper: activation by registration, the player core
// playing into the capture back end, events back as window messages.
#include "trillo/player_case.h"
#include "trillo/trillo.h"

#include "platform/little_endian.h"
#include "platform/text.h"
#include "testsupport/test_env.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <dirent.h>
#include <gtest/gtest.h>
#include <mutex>

using namespace trillo;
using Clock = std::chrono::steady_clock;

namespace
{

std::vector<int16_t> Tone(size_t samples)
{
    std::vector<int16_t> s(samples);
    for (size_t i = 0; i < samples; ++i)
        s[i] = static_cast<int16_t>(1000 + 8000 * std::sin(double(i) * 0.05) + (i % 7) * 13);
    return s;
}

std::string MonoWav(const std::vector<int16_t>& samples, uint32_t rate)
{
    std::string f(44 + samples.size() * 2, '\0');
    auto* p = reinterpret_cast<uint8_t*>(f.data());
    std::memcpy(p, "RIFF", 4);
    platform::StoreLE32(p + 4, uint32_t(f.size() - 8));
    std::memcpy(p + 8, "WAVEfmt ", 8);
    platform::StoreLE32(p + 16, 16);
    platform::StoreLE16(p + 20, 1);
    platform::StoreLE16(p + 22, 1);
    platform::StoreLE32(p + 24, rate);
    platform::StoreLE32(p + 28, rate * 2);
    platform::StoreLE16(p + 32, 2);
    platform::StoreLE16(p + 34, 16);
    std::memcpy(p + 36, "data", 4);
    platform::StoreLE32(p + 40, uint32_t(samples.size() * 2));
    for (size_t i = 0; i < samples.size(); ++i)
        platform::StoreLE16(p + 44 + 2 * i, static_cast<uint16_t>(samples[i]));
    return f;
}

// Frames of the captured stereo file.
std::vector<std::pair<int16_t, int16_t>> Captured(const std::string& path)
{
    const std::string f = testsupport::ReadFile(path);
    std::vector<std::pair<int16_t, int16_t>> frames;
    const auto* p = reinterpret_cast<const uint8_t*>(f.data());
    for (size_t at = 44; at + 4 <= f.size(); at += 4)
        frames.emplace_back(int16_t(platform::LoadLE16(p + at)),
                            int16_t(platform::LoadLE16(p + at + 2)));
    return frames;
}

// True when the signal was heard whole, on both channels, somewhere in the capture.
::testing::AssertionResult HeardSampleForSample(const std::string& path,
                                                const std::vector<int16_t>& signal)
{
    const auto frames = Captured(path);
    size_t start = 0;
    while (start < frames.size() && frames[start].first == 0 && frames[start].second == 0)
        ++start;
    if (frames.size() < start + signal.size())
        return ::testing::AssertionFailure()
               << "captured " << frames.size() << " frames, sound from " << start;
    for (size_t i = 0; i < signal.size(); ++i)
        if (frames[start + i].first != signal[i] || frames[start + i].second != signal[i])
            return ::testing::AssertionFailure()
                   << "frame " << i << ": " << frames[start + i].first << "/"
                   << frames[start + i].second << " instead of " << signal[i];
    return ::testing::AssertionSuccess();
}

// vark-player processes that run with this test's folders.
std::vector<pid_t> PlayersOf(const std::string& root)
{
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (!proc) return found;
    const std::string marker = "XDG_CONFIG_HOME=" + root;
    while (dirent* e = ::readdir(proc))
    {
        const pid_t pid = std::atoi(e->d_name);
        if (pid <= 0) continue;
        const std::string base = "/proc/" + std::to_string(pid);
        const std::string cmd = testsupport::ReadFile(base + "/cmdline");
        if (cmd.find("vark-player") == std::string::npos) continue;
        const std::string stat = testsupport::ReadFile(base + "/stat");
        const auto close = stat.rfind(')');
        if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z')
            continue;
        if (testsupport::ReadFile(base + "/environ").find(marker) != std::string::npos)
            found.push_back(pid);
    }
    ::closedir(proc);
    return found;
}

class PlayerServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.Set("VARK_AUDIO", "capture:" + env.Path("heard.wav"));
        env.Set("VARK_AUDIO_SPEED", std::string("8"));
        ASSERT_TRUE(RegisterPlayerServerIfMissing(testsupport::BinDir() + "/vark-player"));
        ASSERT_EQ(CoInitialize(), S_OK);
        hwnd = platform::RegisterWindowHandle(
            [this](platform::UINT, platform::WPARAM w, platform::LPARAM l)
            {
                std::lock_guard lock(mutex);
                std::wstring title;
                if (w == kTrilOpenFile) title = reinterpret_cast<const wchar_t*>(l);
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
    const auto tone = Tone(8000 * 3 / 2); // 1.5 s at 8000 Hz
    testsupport::WriteFile(env.Path("in.wav"), MonoWav(tone, 8000));
    ASSERT_TRUE(TRIL_Init(-1, hwnd, 33323, false, 200));
    ASSERT_TRUE(TRIL_OpenFile(platform::Utf8ToWide(env.Path("in.wav")).c_str()));
    EXPECT_TRUE(TRIL_FileIsLoaded());
    auto m = Messages();
    bool titled = false, sized = false;
    for (const auto& p : m)
    {
        if (p.code == kTrilOpenFile) titled = !p.title.empty();
        if (p.code == kTrilFileSize && p.value == 1500) sized = true;
    }
    EXPECT_TRUE(titled);
    EXPECT_TRUE(sized);
    const size_t before = m.size();
    ASSERT_TRUE(TRIL_Play(1));
    ASSERT_TRUE(PumpUntil(kTrilStop, before, 30000));
    m = Messages();
    bool played = false, moved = false;
    for (size_t i = before; i < m.size(); ++i)
    {
        played = played || m[i].code == kTrilPlay;
        moved = moved || (m[i].code == kTrilPosition && m[i].value > 0);
    }
    EXPECT_TRUE(played);
    EXPECT_TRUE(moved); // reports of the core's worker thread reach the window
    EXPECT_TRUE(HeardSampleForSample(env.Path("heard.wav"), tone));
}

TEST_F(PlayerServer, MonitoringDataIsHeardSampleForSample)
{
    ASSERT_TRUE(TRIL_Init(-1, hwnd, 33323, false, 200));
    ASSERT_TRUE(TRIL_SetMonitoring(1));
    EXPECT_TRUE(TRIL_IsMoitoring());
    const auto tone = Tone(16000);
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
            return HeardSampleForSample(env.Path("heard.wav"), tone);
        },
        30000))
        << HeardSampleForSample(env.Path("heard.wav"), tone).message();
    ASSERT_TRUE(TRIL_SetMonitoring(0));
    EXPECT_TRUE(PumpUntil(kTrilMonitor, 0, 5000));
}

TEST_F(PlayerServer, AFileThatCannotBeOpenedFailsAndTheNextOneWorks)
{
    testsupport::WriteFile(env.Path("junk.wav"), "RIFF....WAVEjunk");
    testsupport::WriteFile(env.Path("good.wav"), MonoWav(Tone(800), 8000));
    ASSERT_TRUE(TRIL_Init(-1, hwnd, 33323, false, 200));
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
    ASSERT_TRUE(TRIL_Init(-1, hwnd, 33323, false, 200));
    auto players = PlayersOf(env.Root());
    ASSERT_EQ(players.size(), 1u);
    ::kill(players[0], SIGKILL);
    const auto start = Clock::now();
    EXPECT_FALSE(TRIL_SetGain(40));
    EXPECT_EQ(TRIL_GetGain(), -1);
    TRIL_Clear();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    ASSERT_TRUE(TRIL_Init(-1, hwnd, 33323, false, 200));
    EXPECT_TRUE(TRIL_SetGain(40));
    EXPECT_EQ(TRIL_GetGain(), 40);
    TRIL_Clear();
    EXPECT_TRUE(testsupport::WaitFor([&] { return PlayersOf(env.Root()).empty(); }, 10000));
}

} // namespace
