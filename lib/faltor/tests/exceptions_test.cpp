#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/thread_id.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <thread>

TEST(Exceptions, CarryTheirTextThroughCopiesAndBaseCatches)
{
    try
    {
        throw RUNTIME_ERROR("CAN'T OPEN FILE x.wav");
    }
    catch (const std::exception& e)
    {
        EXPECT_STREQ(e.what(), "CAN'T OPEN FILE x.wav");
        ASSERT_NE(dynamic_cast<const RUNTIME_ERROR*>(&e), nullptr);
    }

    LOGIC_ERROR original(std::string("Missing CHUNK_FACT"));
    LOGIC_ERROR copy = original;
    INVALID_ARGUMENT other("null host interface");
    EXCEPTION& base = other;
    base = copy; // slicing assignment keeps the text layer sound
    EXPECT_EQ(copy.Text(), "Missing CHUNK_FACT");
    EXPECT_STREQ(other.what(), "Missing CHUNK_FACT");

    // Each kind is caught as itself and as EXCEPTION, never as a sibling.
    auto kindOf = [](auto thrown) -> std::string
    {
        try
        {
            throw thrown;
        }
        catch (const INVALID_ARGUMENT&)
        {
            return "invalid";
        }
        catch (const LOGIC_ERROR&)
        {
            return "logic";
        }
        catch (const EXCEPTION&)
        {
            return "base";
        }
    };
    EXPECT_EQ(kindOf(LOGIC_ERROR("a")), "logic");
    EXPECT_EQ(kindOf(INVALID_ARGUMENT("a")), "invalid");
    EXPECT_EQ(kindOf(RUNTIME_ERROR("a")), "base");
    EXPECT_STREQ(EXCEPTION(static_cast<const char*>(nullptr)).what(), "");
}

TEST(DebugInfo, SaysWhatWhereWhenAndWhichThread)
{
    const std::string plain = DebugInfo("device refused", "/src/lib/movra/movra.cpp", "Dec  8 2026",
                                        "19:00:01", 120, 4711)
                                  .str();
    EXPECT_EQ(plain, "device refused (movra.cpp:120, built Dec  8 2026 19:00:01, thread 4711)");

    EXPECT_EQ(DebugInfo(5, "waveOutOpen failed", "a.cpp", "D", "T", 1, 2).str(),
              "[5] waveOutOpen failed (a.cpp:1, built D T, thread 2)");
    EXPECT_EQ(DebugInfo(-1, 44100, "rate", "a.cpp", "D", "T", 1, 2).str(),
              "[-1, 44100] rate (a.cpp:1, built D T, thread 2)");
    EXPECT_EQ(DebugInfo(1, 2, INT64_MAX, "x", "a.cpp", "D", "T", 1, 2).str(),
              "[1, 2, 9223372036854775807] x (a.cpp:1, built D T, thread 2)");
    // A null text or file is a slip at the call site, not a reason to crash while throwing.
    EXPECT_EQ(DebugInfo(nullptr, nullptr, nullptr, nullptr, 0, 0).str(),
              " (?:0, built ? ?, thread 0)");
}

TEST(DebugInfo, MacroFillsThePlaceAndConvertsIntoAnException)
{
    const int line = __LINE__ + 1;
    const RUNTIME_ERROR e(DEBUG_INFO(7, "short read"));
    const std::string text = e.what();
    EXPECT_EQ(text.rfind("[7] short read (exceptions_test.cpp:" + std::to_string(line) +
                             ", built " __DATE__ " " __TIME__ ", thread " +
                             std::to_string(GetThreadId()) + ")",
                         0),
              0u)
        << text;
    EXPECT_EQ(std::string(static_cast<const char*>(DEBUG_INFO("x"))).rfind("x (", 0), 0u);
}

TEST(ThreadId, DiffersBetweenLiveThreadsAndStaysPerThread)
{
    const uint32_t mine = GetThreadId();
    EXPECT_EQ(GetThreadId(), mine);
    EXPECT_NE(mine, 0u);
    std::set<uint32_t> ids{mine};
    std::thread a([&] { ids.insert(GetThreadId()); });
    a.join();
    std::thread b([&] { ids.insert(GetThreadId()); });
    // b runs alongside the main thread, so it must differ from it whatever the kernel reuses.
    b.join();
    EXPECT_GE(ids.size(), 2u);
}
