#include "scriba/scriba.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

using testsupport::ReadFile;

namespace
{
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}
} // namespace

TEST(Scriba, LinesCarryTimeThreadLevelAndAreDroppedWhenClosed)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("Varke.log");
    SLOG("before open");
    ASSERT_TRUE(OpenLog(Wide(path).c_str(), kLogAppend, 1048576, 20));
    SetLogLevel(4);
    SLOG("plain %d", 1);
    // %S is outside the compiler's ISO format check, and still prints a wide string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
    SLOG(2, "wide %S", L"\u0444\u0430\u0439\u043b.wav");
#pragma GCC diagnostic pop
    SLOG(5, "above the level");
    SLOG_ERR("broken\nline");
    CloseLog();
    SLOG("after close");
    SetLogLevel(9);

    const auto lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), 3u) << ReadFile(path);
    const std::regex head(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[ *\d+\] (I\d|E ) .*)");
    for (const auto& l : lines)
        EXPECT_TRUE(std::regex_match(l, head)) << l;
    EXPECT_NE(lines[0].find("I0 plain 1"), std::string::npos);
    EXPECT_NE(lines[1].find("I2 wide \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.wav"), std::string::npos);
    EXPECT_NE(lines[2].find("E  broken line"), std::string::npos);
}

TEST(Scriba, FourThreadsWriteWholeLines)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("Varke.log");
    ASSERT_TRUE(OpenLog(Wide(path).c_str(), 0, 0, 0));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(
            [t]
            {
                for (int i = 0; i < 10000; ++i)
                    SLOG("thread %d line %05d %s", t, i, "payload-payload");
            });
    for (auto& th : threads)
        th.join();
    CloseLog();

    const auto lines = Lines(ReadFile(path));
    ASSERT_EQ(lines.size(), 40000u);
    const std::regex body(R"(.*\] I0 thread (\d) line (\d{5}) payload-payload$)");
    int next[4] = {0, 0, 0, 0};
    for (const auto& l : lines)
    {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, body)) << l;
        const int t = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[t]++); // each thread's lines stay in order
    }
}

TEST(Scriba, RotatesAndKeepsTheGivenNumberOfFiles)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("Varke.log");
    ASSERT_TRUE(OpenLog(Wide(path).c_str(), kLogAppend, 1000, 3));
    for (int i = 0; i < 200; ++i)
        SLOG("rotation line %03d", i);
    CloseLog();
    EXPECT_TRUE(testsupport::FileExists(path + ".1"));
    EXPECT_TRUE(testsupport::FileExists(path + ".3"));
    EXPECT_FALSE(testsupport::FileExists(path + ".4"));
    for (const char* f : {"", ".1", ".2", ".3"})
    {
        const auto text = ReadFile(path + f);
        EXPECT_LE(text.size(), 1000u) << f;
        EXPECT_FALSE(text.empty()) << f;
    }
    // The newest line is in the live file, the lines before it in .1.
    EXPECT_NE(ReadFile(path).find("rotation line 199"), std::string::npos);

    // Reopening with the append flag keeps the old content; without it starts afresh.
    const auto before = ReadFile(path);
    ASSERT_TRUE(OpenLog(Wide(path).c_str(), kLogAppend, 0, 0));
    SLOG("again");
    CloseLog();
    EXPECT_EQ(ReadFile(path).rfind(before, 0), 0u);
    ASSERT_TRUE(OpenLog(Wide(path).c_str(), 0, 0, 0));
    CloseLog();
    EXPECT_EQ(ReadFile(path), "");
}

TEST(Scriba, AnUnwritableLogIsHarmless)
{
    testsupport::ScopedTestEnv env;
    EXPECT_FALSE(OpenLog(Wide(env.Path("missing/folder/Varke.log")).c_str(), 1, 1048576, 20));
    SLOG("nowhere to go");
    CloseLog();
    EXPECT_FALSE(OpenLog(nullptr, 1, 0, 0));
}
