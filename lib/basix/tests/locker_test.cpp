#include "basix/locker.h"

#include "platform/event.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(CsLocker, OwnerMayReenter)
{
    CS_LOCKER lock;
    A_LOCKER& asInterface = lock;
    int depth = 0;
    // A command handler that calls back into a command on the same thread.
    std::function<void(int)> enter = [&](int n)
    {
        LOCK_GUARD guard(asInterface);
        ++depth;
        if (n > 0) enter(n - 1);
    };
    enter(5);
    EXPECT_EQ(depth, 6);

    // After the re-entries are unwound another thread can take it.
    std::atomic<bool> taken{false};
    std::thread(
        [&]
        {
            LOCK_GUARD guard(lock);
            taken = true;
        })
        .join();
    EXPECT_TRUE(taken.load());
}

TEST(CsLocker, ExcludesOtherThreads)
{
    CS_LOCKER lock;
    platform::Event holding(platform::Event::Reset::manual);
    std::atomic<bool> otherInside{false};

    lock.Lock();
    lock.Lock(); // held twice: one Unlock must not release it
    std::thread other(
        [&]
        {
            holding.Set();
            LOCK_GUARD guard(lock);
            otherInside = true;
        });
    ASSERT_TRUE(holding.Wait(10000));
    lock.Unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(otherInside.load());
    lock.Unlock();
    other.join();
    EXPECT_TRUE(otherInside.load());

    // Unguarded read-modify-write cycles from four threads lose nothing under the lock.
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(
            [&]
            {
                for (int i = 0; i < 20000; ++i)
                {
                    LOCK_GUARD guard(lock);
                    LOCK_GUARD again(lock);
                    const long seen = counter;
                    if ((i & 1023) == 0) std::this_thread::yield();
                    counter = seen + 1;
                }
            });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 80000);
}
