#include "platform/winmsg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using namespace platform;

namespace
{
// Any private message number: the handles carry whatever they are given.
constexpr UINT kMessage = 0x8001;
} // namespace

TEST(WinMsg, UnknownAndNullHandlesFail)
{
    EXPECT_EQ(PostMessageW(nullptr, kMessage, 1, 2), 0);
    EXPECT_EQ(PostMessageW(reinterpret_cast<HWND>(0x1234), kMessage, 1, 2), 0);
    HWND h = RegisterWindowHandle([](UINT, WPARAM, LPARAM) {});
    UnregisterWindowHandle(h);
    EXPECT_EQ(PostMessageW(h, kMessage, 1, 2), 0);
    UnregisterWindowHandle(h); // twice is harmless
}

TEST(WinMsg, DeliversEveryPostFromSeveralThreadsToTheRightHandle)
{
    std::mutex m;
    std::vector<std::pair<WPARAM, LPARAM>> a, b;
    HWND ha = RegisterWindowHandle(
        [&](UINT msg, WPARAM w, LPARAM l)
        {
            ASSERT_EQ(msg, kMessage);
            std::lock_guard lock(m);
            a.push_back({w, l});
        });
    HWND hb = RegisterWindowHandle(
        [&](UINT, WPARAM w, LPARAM l)
        {
            std::lock_guard lock(m);
            b.push_back({w, l});
        });
    ASSERT_NE(ha, hb);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(
            [&, t]
            {
                for (int i = 0; i < 500; ++i)
                {
                    EXPECT_EQ(PostMessageW(ha, kMessage, WPARAM(t), i), 1);
                    EXPECT_EQ(PostMessageW(hb, 1, WPARAM(t), -i), 1);
                }
            });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(a.size(), 2000u);
    EXPECT_EQ(b.size(), 2000u);
    for (auto& [w, l] : b)
        EXPECT_LE(l, 0);
    UnregisterWindowHandle(ha);
    UnregisterWindowHandle(hb);
}

TEST(WinMsg, UnregisterWhilePostingStopsDeliveryWithoutRaces)
{
    std::atomic<int> delivered{0};
    std::atomic<bool> unregistered{false};
    std::atomic<int> afterwards{0};
    HWND h = RegisterWindowHandle(
        [&](UINT, WPARAM, LPARAM)
        {
            if (unregistered) ++afterwards;
            ++delivered;
        });
    std::atomic<bool> stop{false};
    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t)
        posters.emplace_back(
            [&]
            {
                while (!stop)
                    PostMessageW(h, 5, 0, 0);
            });
    while (delivered < 100)
        std::this_thread::yield();
    UnregisterWindowHandle(h);
    unregistered = true;
    const int at = delivered;
    stop = true;
    for (auto& t : posters)
        t.join();
    EXPECT_EQ(afterwards, 0);
    EXPECT_EQ(delivered, at);
}
