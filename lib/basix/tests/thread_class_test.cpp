#include "basix/sys_sleep.h"
#include "basix/thread_class.h"
#include "basix/timer.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "testsupport/test_env.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace
{

class Worker : public THREAD_CLASS
{
public:
    Worker() : THREAD_CLASS("errproc", "") {}
    ~Worker() override { Stop(); }

    std::atomic<int> cycles{0};
    std::atomic<int> terminateWakes{0};
    std::atomic<bool> throwInBody{false};
    unsigned int pauseMs = 10;

protected:
    unsigned int MainThread() override
    {
        if (throwInBody) throw RUNTIME_ERROR("device gone");
        while (!GetTermFlag())
        {
            ++cycles;
            if (ThreadWait(pauseMs) == WAIT_TERMINATE) ++terminateWakes;
        }
        return 7;
    }
};

} // namespace

TEST(ThreadClass, StartRunsTheBodyAndStopEndsIt)
{
    Worker w;
    EXPECT_FALSE(w.IsRunning());
    w.Stop(); // nothing to stop yet
    w.Start();
    EXPECT_THROW(w.Start(), LOGIC_ERROR);
    ASSERT_TRUE(testsupport::WaitFor([&] { return w.cycles.load() >= 3; }, 10000));
    w.Stop();
    EXPECT_FALSE(w.IsRunning());
    EXPECT_EQ(w.ExitCode(), 7u);
    const int after = w.cycles.load();
    SysSleepMs(50);
    EXPECT_EQ(w.cycles.load(), after); // really ended

    // A stopped thread class can be started again.
    w.Start();
    ASSERT_TRUE(testsupport::WaitFor([&] { return w.cycles.load() > after; }, 10000));
    w.Stop();
    EXPECT_EQ(w.ClassInfo(), "(anonymous namespace)::Worker");
}

TEST(ThreadClass, StopWakesALongThreadWaitEarly)
{
    Worker w;
    w.pauseMs = 60000;
    w.Start();
    ASSERT_TRUE(testsupport::WaitFor([&] { return w.cycles.load() == 1; }, 10000));
    TIMER t(0);
    w.Stop();
    EXPECT_LT(t.PeekTimeMs(), 10000); // far below the minute the body asked to wait
    EXPECT_EQ(w.terminateWakes.load(), 1);
}

TEST(ThreadClass, SetTermFlagEndsTheBodyAndThreadWaitTimesOutOtherwise)
{
    Worker w;
    w.pauseMs = 60000;
    w.Start();
    ASSERT_TRUE(testsupport::WaitFor([&] { return w.cycles.load() == 1; }, 10000));
    w.SetTermFlag(true);
    ASSERT_TRUE(testsupport::WaitFor([&] { return !w.IsRunning(); }, 10000));
    EXPECT_TRUE(w.GetTermFlag());
    w.Stop();

    // Without the flag the wait lasts its time (bounded loosely both ways).
    struct Waiter : THREAD_CLASS
    {
        Waiter() : THREAD_CLASS("waiter", "x") {}
        unsigned int MainThread() override { return 0; }
    } waiter;
    TIMER t(0);
    EXPECT_EQ(waiter.ThreadWait(30), THREAD_CLASS::WAIT_TIMEOUT_ELAPSED);
    EXPECT_GE(t.PeekTimeMs(), 29);
    waiter.SetTermFlag(true);
    EXPECT_EQ(waiter.ThreadWait(60000), THREAD_CLASS::WAIT_TERMINATE);
}

TEST(ThreadClass, AnEscapingExceptionIsJournalledNotFatal)
{
    testsupport::ScopedTestEnv env;
    ASSERT_TRUE(JOURNAL::Create(env.Path("j.log")));
    Worker w;
    w.throwInBody = true;
    w.Start();
    ASSERT_TRUE(testsupport::WaitFor([&] { return !w.IsRunning(); }, 10000));
    w.Stop();
    JOURNAL::Destroy();
    EXPECT_EQ(w.ExitCode(), 0xFFFFFFFFu);
    EXPECT_NE(
        testsupport::ReadFile(env.Path("j.log")).find("errproc ended by an exception: device gone"),
        std::string::npos);
}

TEST(ThreadClass, StopFromTheThreadItselfIsALogicError)
{
    struct SelfStopper : THREAD_CLASS
    {
        SelfStopper() : THREAD_CLASS("self", "") {}
        ~SelfStopper() override { Stop(); }
        std::atomic<bool> refused{false};
        unsigned int MainThread() override
        {
            try
            {
                Stop();
            }
            catch (const LOGIC_ERROR&)
            {
                refused = true;
            }
            return 0;
        }
    } s;
    s.Start();
    ASSERT_TRUE(testsupport::WaitFor([&] { return !s.IsRunning(); }, 10000));
    EXPECT_TRUE(s.refused.load());
}

TEST(Timer, MeasuresFromConstructionAndRestart)
{
    TIMER t(100);
    EXPECT_EQ(t.PeriodMs(), 100);
    EXPECT_GE(t.PeekTimeMs(), 0);
    SysSleepMs(120);
    EXPECT_GE(t.PeekTimeMs(), 120);
    EXPECT_TRUE(t.IsElapsed());
    const auto before = t.PeekTimeMs();
    t.Restart();
    // Restart starts again from zero; the bound only has to hold on a badly loaded machine.
    EXPECT_LT(t.PeekTimeMs(), before);
    EXPECT_LT(t.PeekTimeMs(), 5000);
    SysSleepMs(0);
}
