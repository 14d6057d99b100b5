#include "platform/event.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using platform::Event;

TEST(Event, AutoResetReleasesOneWaiterPerSet)
{
    Event e(Event::Reset::automatic, true);
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(0)); // cleared by the first wait
    EXPECT_FALSE(e.Wait(20));

    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back(
            [&]
            {
                if (e.Wait(10000)) ++released;
            });
    for (int i = 0; i < 3; ++i)
        e.Set(), std::this_thread::yield();
    // Every Set must be consumed by exactly one waiter, whenever the waiters arrive.
    for (int i = 0; i < 200 && released < 3; ++i)
    {
        if (!e.IsSet() && released < 3) e.Set();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released, 3);
}

TEST(Event, ManualResetStaysSetForEveryWaiter)
{
    Event e(Event::Reset::manual);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back(
            [&]
            {
                if (e.Wait(10000)) ++released;
            });
    e.Set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released, 4);
    EXPECT_TRUE(e.Wait(0));
    e.Clear();
    EXPECT_FALSE(e.Wait(0));
}

#include "platform/thread_locale.h"

TEST(ThreadLocale, EachThreadHasItsOwnAndStartsFromTheDefault)
{
    platform::SetDefaultThreadLocale(1049);
    platform::SetThreadLocale(1025);
    platform::Lcid seen = 0;
    std::thread([&] { seen = platform::GetThreadLocale(); }).join();
    EXPECT_EQ(seen, 1049u);
    EXPECT_EQ(platform::GetThreadLocale(), 1025u);
    EXPECT_EQ(platform::PrimaryLanguage(1046), 22u);
    platform::SetDefaultThreadLocale(platform::kLcidEnglish);
}
