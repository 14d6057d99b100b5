// The TRIL_ functions against a real player server process (the scripted test player).
#include "trillo/player_case.h"
#include "trillo/trillo.h"

#include "testsupport/test_env.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <mutex>
#include <sstream>
#include <thread>

using namespace trillo;
using Clock = std::chrono::steady_clock;

namespace
{

struct Posted
{
    platform::WPARAM code;
    platform::LPARAM value;
};

bool ProcessGone(pid_t pid)
{
    if (pid <= 0) return false;
    if (::kill(pid, 0) != 0) return true;
    const std::string stat = testsupport::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

class TrilApi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.Set("TRILLO_TEST_LOG", env.Path("calls.log"));
        ASSERT_EQ(CoInitialize(), S_OK);
        ASSERT_TRUE(RegisterServer(CLSID_PlayerCase, TRILLO_TEST_PLAYER));
        hwnd = platform::RegisterWindowHandle(
            [this](platform::UINT message, platform::WPARAM w, platform::LPARAM l)
            {
                std::lock_guard lock(mutex);
                if (message == kPlayerMessage) posted.push_back({w, l});
            });
    }
    void TearDown() override
    {
        TRIL_Clear();
        CoUninitialize();
        platform::UnregisterWindowHandle(hwnd);
    }
    bool Init() { return TRIL_Init(-1, hwnd, kPlayerMessage, false, 200); }
    std::vector<std::string> Calls()
    {
        std::vector<std::string> lines;
        std::istringstream in(testsupport::ReadFile(env.Path("calls.log")));
        for (std::string line; std::getline(in, line);)
            if (line.rfind("pid ", 0) != 0) lines.push_back(line);
        return lines;
    }
    void ForgetCalls() { testsupport::WriteFile(env.Path("calls.log"), ""); }
    pid_t ServerPid()
    {
        std::istringstream in(testsupport::ReadFile(env.Path("calls.log")));
        pid_t pid = 0;
        for (std::string line; std::getline(in, line);)
            if (line.rfind("pid ", 0) == 0) pid = std::stoi(line.substr(4));
        return pid;
    }
    std::vector<Posted> Take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(posted, {});
    }

    testsupport::ScopedTestEnv env;
    platform::HWND hwnd = nullptr;
    std::mutex mutex;
    std::vector<Posted> posted;
};

using Lines = std::vector<std::string>;

TEST_F(TrilApi, NothingIsCalledWithoutAPlayer)
{
    EXPECT_FALSE(TRIL_IsReady());
    EXPECT_FALSE(TRIL_Play(1));
    EXPECT_FALSE(TRIL_Pause());
    EXPECT_FALSE(TRIL_SetPosition(1));
    EXPECT_FALSE(TRIL_SetRing(5, 1));
    EXPECT_FALSE(TRIL_SetAgc(0, 0));
    const unsigned char bytes[4] = {};
    EXPECT_FALSE(TRIL_SetSound(bytes, 4, 1, 8000));
    EXPECT_FALSE(TRIL_OpenFile(L"x.wav"));
    EXPECT_EQ(TRIL_GetGain(), -1);
    TRIL_Clear(); // safe with nothing held
    EXPECT_TRUE(Calls().empty());
}

TEST_F(TrilApi, AServerThatCannotStartFailsInit)
{
    UnregisterServer(CLSID_PlayerCase);
    EXPECT_FALSE(Init());
    ASSERT_TRUE(RegisterServer(CLSID_PlayerCase, env.Path("no-such-player")));
    EXPECT_FALSE(Init());
    ASSERT_TRUE(RegisterServer(CLSID_PlayerCase, "/bin/false"));
    EXPECT_FALSE(Init());
    EXPECT_FALSE(TRIL_IsReady());
    ASSERT_TRUE(RegisterServer(CLSID_PlayerCase, TRILLO_TEST_PLAYER));
    EXPECT_TRUE(Init());
}

TEST_F(TrilApi, InitSubscribesAndClearUnsubscribesEndsAndFreesTheServer)
{
    ASSERT_TRUE(Init());
    EXPECT_TRUE(TRIL_IsReady());
    EXPECT_EQ(Calls(), (Lines{"GetState", "Advise", "Begin"}));
    const pid_t server = ServerPid();
    ForgetCalls();
    TRIL_Clear();
    EXPECT_FALSE(TRIL_IsReady());
    EXPECT_EQ(Calls(), (Lines{"Unadvise 7", "End"}));
    EXPECT_TRUE(testsupport::WaitFor([&] { return ProcessGone(server); }, 10000));

    // a chosen output device reaches the player before its state (which opens the device);
    // a player that refuses it still plays, through its default
    ForgetCalls();
    env.Set("TRILLO_TEST_FAIL", std::string("SetOutputDevice"));
    ASSERT_TRUE(TRIL_Init(3, hwnd, kPlayerMessage, false, 200));
    EXPECT_EQ(Calls(), (Lines{"SetOutputDevice 3", "GetState", "Advise", "Begin"}));
}

TEST_F(TrilApi, AFailingBeginUndoesEverything)
{
    env.Set("TRILLO_TEST_FAIL", std::string("Begin"));
    EXPECT_FALSE(Init());
    EXPECT_FALSE(TRIL_IsReady());
    EXPECT_EQ(Calls(), (Lines{"GetState", "Advise", "Begin", "Unadvise 7", "End"}));
    EXPECT_TRUE(testsupport::WaitFor([&] { return ProcessGone(ServerPid()); }, 10000));
    env.Set("TRILLO_TEST_FAIL", std::string("GetState"));
    EXPECT_FALSE(Init());
    EXPECT_FALSE(TRIL_IsReady());
}

TEST_F(TrilApi, EventsDuringBeginFillTheCacheButPostNothing)
{
    env.Set("TRILLO_TEST_BEGIN_EVENTS", std::string("1"));
    ASSERT_TRUE(Init());
    EXPECT_TRUE(TRIL_IsMoitoring());
    EXPECT_TRUE(TRIL_FileIsLoaded());
    EXPECT_TRUE(Take().empty());
    TRIL_Clear();
    // The flags are still set inside, but without a player nothing is reported.
    EXPECT_FALSE(TRIL_IsMoitoring());
    EXPECT_FALSE(TRIL_FileIsLoaded());
    EXPECT_FALSE(TRIL_IsReady());
}

TEST_F(TrilApi, OpeningAFileAnnouncesItsTitleAndSize)
{
    ASSERT_TRUE(Init());
    ForgetCalls();
    ASSERT_TRUE(TRIL_OpenFile(L"/data/talk.wav"));
    EXPECT_EQ(Calls(), (Lines{"SetMonitoring 0", "fired 12 hr=0", "CloseFile", "fired 9 hr=0",
                              "OpenFile 14", "GetFileValue1", "GetFileValue2", "GetFileTitle",
                              "fired 8 hr=0", "fired 10 hr=0"}));
    EXPECT_TRUE(TRIL_FileIsLoaded());
    auto m = Take();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].code, 0u); // monitoring off
    EXPECT_EQ(m[1].code, 2u); // closed
    EXPECT_EQ(m[2].code, 1u);
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(m[2].value), L"/data/talk.wav");
    EXPECT_EQ(m[3].code, 3u);
    EXPECT_EQ(m[3].value, 1014);

    // A long title is cut to 63 characters.
    const std::wstring longPath(100, L'a');
    ASSERT_TRUE(TRIL_OpenFile(longPath.c_str()));
    m = Take();
    ASSERT_EQ(m.size(), 4u);
    const auto* title = reinterpret_cast<const wchar_t*>(m[2].value);
    EXPECT_EQ(std::wstring(title), longPath.substr(0, 63));

    // An empty path only closes; monitoring is left alone.
    ForgetCalls();
    EXPECT_TRUE(TRIL_OpenFile(L""));
    EXPECT_TRUE(TRIL_OpenFile(nullptr));
    EXPECT_EQ(Calls(), (Lines{"CloseFile", "fired 9 hr=0", "CloseFile", "fired 9 hr=0"}));
    EXPECT_FALSE(TRIL_FileIsLoaded());
    m = Take();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].code, 2u);
    EXPECT_EQ(title[0], L'\0'); // the buffer was cleared by the close
}

TEST_F(TrilApi, AFileWhoseInformationFailsIsNotLoadedButStillAnnounced)
{
    env.Set("TRILLO_TEST_FAIL", std::string("GetFileValue2"));
    ASSERT_TRUE(Init());
    ForgetCalls();
    EXPECT_TRUE(TRIL_OpenFile(L"a.wav"));
    EXPECT_FALSE(TRIL_FileIsLoaded());
    const Lines calls = Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "GetFileTitle"), 0);
    const auto m = Take();
    ASSERT_GE(m.size(), 3u);
    EXPECT_EQ(m[2].code, 1u);
}

TEST_F(TrilApi, CommandsReachTheirSlotsAndEventsBecomeMessages)
{
    ASSERT_TRUE(Init());
    ForgetCalls();
    EXPECT_TRUE(TRIL_SetPosition(1500));
    EXPECT_TRUE(TRIL_Play(1));
    EXPECT_TRUE(TRIL_Pause());
    EXPECT_TRUE(TRIL_Play(0));
    EXPECT_TRUE(TRIL_SetStretch(3));
    EXPECT_TRUE(TRIL_SetGain(70));
    EXPECT_EQ(TRIL_GetGain(), 33);
    EXPECT_TRUE(TRIL_SetRing(5, 1));
    EXPECT_TRUE(TRIL_SetRing(5, 0));
    EXPECT_TRUE(TRIL_SetMonitoring(1));
    EXPECT_TRUE(TRIL_SetAgc(30, 1));
    EXPECT_TRUE(TRIL_SetAgc(30, 0));
    EXPECT_TRUE(TRIL_SetDenoiser(1, 20000, 1));
    EXPECT_TRUE(TRIL_SetSpeechSearch(4, 0));
    const unsigned char sound[5] = {1, 2, 3, 4, 250};
    EXPECT_TRUE(TRIL_SetSound(sound, 5, 2, 16000));
    const Lines expected = {"SetPosition 1500",
                            "fired 4 hr=0",
                            "Play",
                            "fired 15 hr=0",
                            "Pause",
                            "fired 2 hr=0",
                            "Stop",
                            "fired 16 hr=0",
                            "SetStretch 3",
                            "fired 23 hr=0",
                            "SetGain 70",
                            "GetGain",
                            "SetRingSize 5000",
                            "fired 17 hr=0",
                            "RingOn",
                            "fired 11 hr=0",
                            "Ring 0 0 0",
                            "fired 11 hr=0",
                            "CloseFile",
                            "fired 9 hr=0",
                            "SetMonitoring 1",
                            "fired 12 hr=0",
                            "SetAgc 30",
                            "EnableObject 2 1",
                            "EnableObject 2 0",
                            "SetDenoiser 1 20000",
                            "EnableObject 1 1",
                            "EnableObject 3 0",
                            "SetSound vt=8209 bytes=5 sum=" +
                                std::to_string(((((1u * 31 + 2) * 31 + 3) * 31 + 4) * 31) + 250) +
                                " 2 16000"};
    EXPECT_EQ(Calls(), expected);
    EXPECT_TRUE(TRIL_IsMoitoring());
    const auto m = Take();
    const std::vector<std::pair<platform::WPARAM, platform::LPARAM>> codes = {
        {4, 1500}, {6, 1500}, {7, 1500}, {8, 0}, {5, 3}, {2, 0}, {0, 1}};
    ASSERT_EQ(m.size(), codes.size());
    for (size_t i = 0; i < m.size(); ++i)
    {
        EXPECT_EQ(m[i].code, codes[i].first) << i;
        EXPECT_EQ(m[i].value, codes[i].second) << i;
    }
}

TEST_F(TrilApi, FailuresOfThePlayerComeBackAsFalse)
{
    env.Set("TRILLO_TEST_FAIL", std::string("SetRingSize,GetGain,SetAgc,OpenFile,SetSound,Play"));
    ASSERT_TRUE(Init());
    ForgetCalls();
    EXPECT_FALSE(TRIL_SetRing(5, 1));
    EXPECT_EQ(TRIL_GetGain(), -1);
    EXPECT_FALSE(TRIL_SetAgc(30, 1));
    EXPECT_FALSE(TRIL_OpenFile(L"missing.wav"));
    const unsigned char sound[2] = {};
    EXPECT_FALSE(TRIL_SetSound(sound, 2, 1, 8000));
    EXPECT_FALSE(TRIL_Play(1));
    EXPECT_EQ(Calls(), (Lines{"SetRingSize 5000", "GetGain", "SetAgc 30", "SetMonitoring 0",
                              "fired 12 hr=0", "CloseFile", "fired 9 hr=0", "OpenFile 11",
                              "SetSound vt=8209 bytes=2 sum=0 1 8000", "Play"}));
    // Bad sound buffers never reach the player.
    ForgetCalls();
    EXPECT_FALSE(TRIL_SetSound(nullptr, 8, 1, 8000));
    EXPECT_FALSE(TRIL_SetSound(sound, -1, 1, 8000));
    EXPECT_TRUE(Calls().empty());
}

TEST_F(TrilApi, MalformedEventsAreRefusedAndTheWrapperCarriesOn)
{
    ASSERT_TRUE(Init());
    ForgetCalls();
    EXPECT_TRUE(TRIL_SetGain(-999));
    EXPECT_EQ(Calls(),
              (Lines{"SetGain -999", "fired 4 hr=" + std::to_string(DISP_E_BADPARAMCOUNT),
                     "fired 10 hr=" + std::to_string(DISP_E_TYPEMISMATCH),
                     "fired 99 hr=" + std::to_string(DISP_E_MEMBERNOTFOUND), "fired 19 hr=1"}));
    EXPECT_TRUE(Take().empty());
    EXPECT_TRUE(TRIL_Play(1));
}

TEST_F(TrilApi, AKilledServerMakesCallsFailFastAndInitStartsAFreshOne)
{
    ASSERT_TRUE(Init());
    const pid_t first = ServerPid();
    ASSERT_GT(first, 0);
    ::kill(first, SIGKILL);
    ASSERT_TRUE(testsupport::WaitFor([&] { return ProcessGone(first); }, 10000));
    const auto start = Clock::now();
    EXPECT_FALSE(TRIL_Play(1));
    EXPECT_FALSE(TRIL_OpenFile(L"a.wav"));
    EXPECT_EQ(TRIL_GetGain(), -1);
    TRIL_Clear();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(TRIL_IsReady());
    ASSERT_TRUE(Init());
    EXPECT_NE(ServerPid(), first);
    EXPECT_TRUE(TRIL_Play(1));
}

TEST_F(TrilApi, AServerKilledInsideACallEndsThatCall)
{
    env.Set("TRILLO_TEST_HANG", std::string("Pause"));
    ASSERT_TRUE(Init());
    const pid_t server = ServerPid();
    std::thread killer(
        [server]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ::kill(server, SIGKILL);
        });
    const auto start = Clock::now();
    EXPECT_FALSE(TRIL_Pause());
    killer.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(TRIL_Play(1));
    TRIL_Clear();
    EXPECT_FALSE(TRIL_IsReady());
}

} // namespace
