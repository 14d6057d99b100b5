#include "faltor/journal.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace
{

std::vector<std::string> Lines(const std::string& path)
{
    std::vector<std::string> lines;
    std::istringstream in(testsupport::ReadFile(path));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The text after timestamp, mark and thread id.
std::string TextOf(const std::string& line)
{
    size_t pos = 0;
    for (int fields = 0; fields < 4 && pos != std::string::npos; ++fields)
        pos = line.find(' ', pos + (fields ? 1 : 0));
    return pos == std::string::npos ? "" : line.substr(pos + 1);
}

class JournalTest : public ::testing::Test
{
protected:
    void TearDown() override { JOURNAL::Destroy(); }
    testsupport::ScopedTestEnv env;
};

} // namespace

TEST_F(JournalTest, AbsentJournalWritesNothing)
{
    ASSERT_EQ(JOURNAL::Journal, nullptr);
    JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "nobody hears %d", 1);
    JOURNAL::Destroy(); // destroying what does not exist is harmless

    const std::string path = env.Path("j.log");
    ASSERT_TRUE(JOURNAL::Create(path));
    JOURNAL::Destroy();
    JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "after the end");
    EXPECT_EQ(testsupport::ReadFile(path), "");
}

TEST_F(JournalTest, LinesCarryTimeMarkThreadAndText)
{
    const std::string path = env.Path("j.log");
    ASSERT_TRUE(JOURNAL::Create(path));
    ASSERT_NE(JOURNAL::Journal, nullptr);
    EXPECT_EQ(JOURNAL::Journal->Path(), path);

    JOURNAL::Journal->Log(JOURNAL::LEVEL_TRACE, "MOVRA::CPlay() in : wait lock addr %8x", 0xbeef);
    JOURNAL::Journal->Log(JOURNAL::LEVEL_DEBUG, "cmd %s\n", "play");
    JOURNAL::Journal->Log(JOURNAL::LEVEL_ERROR, "two\nlines\r\n");
    JOURNAL::Journal->LogW(JOURNAL::LEVEL_ERROR, L"CAN'T OPEN FILE %ls %s", L"Запись.wav", "ü");
    JOURNAL::Journal->Log(JOURNAL::LEVEL_ERROR, "wide in narrow %ls", L"日本");
    JOURNAL::Journal->Log(7, "other level %g", 0.5);
    JOURNAL::Journal->Log(JOURNAL::LEVEL_ERROR, "%s", std::string(100000, 'x').c_str());

    const auto lines = Lines(path);
    ASSERT_EQ(lines.size(), 7u);
    const std::regex shape(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (T|D|E|L7) \d+ .*)");
    for (const auto& line : lines) // (std::regex recurses per character: check the head only)
        EXPECT_TRUE(std::regex_match(line.substr(0, 120), shape)) << line.substr(0, 120);
    EXPECT_EQ(TextOf(lines[0]), "MOVRA::CPlay() in : wait lock addr     beef");
    EXPECT_EQ(TextOf(lines[1]), "cmd play");
    EXPECT_EQ(TextOf(lines[2]), "two lines");
    EXPECT_EQ(TextOf(lines[3]), "CAN'T OPEN FILE Запись.wav ü");
    EXPECT_EQ(TextOf(lines[4]), "wide in narrow 日本");
    EXPECT_EQ(TextOf(lines[5]), "other level 0.5");
    EXPECT_EQ(TextOf(lines[6]), std::string(100000, 'x'));
    EXPECT_NE(lines[0].find(" T "), std::string::npos);
    EXPECT_NE(lines[1].find(" D "), std::string::npos);
    EXPECT_NE(lines[2].find(" E "), std::string::npos);
}

TEST_F(JournalTest, LevelFilterDropsLowerLevels)
{
    const std::string path = env.Path("j.log");
    ASSERT_TRUE(JOURNAL::Create(path));
    JOURNAL* j = JOURNAL::Journal;
    EXPECT_EQ(j->LevelFilter(), 0u);
    j->SetLevelFilter(JOURNAL::LEVEL_DEBUG);
    j->Log(JOURNAL::LEVEL_TRACE, "trace");
    j->LogW(JOURNAL::LEVEL_TRACE, L"wide trace");
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "macro trace");
    j->Log(JOURNAL::LEVEL_DEBUG, "debug");
    j->SetLevelFilter(JOURNAL::LEVEL_ERROR);
    JOURNAL_LOG(JOURNAL::LEVEL_DEBUG, "debug 2");
    JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "error %d", 3);
    const auto lines = Lines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(TextOf(lines[0]), "debug");
    EXPECT_EQ(TextOf(lines[1]), "error 3");
}

TEST_F(JournalTest, CreationFailsCleanlyAndOnlyOnce)
{
    std::string error;
    EXPECT_FALSE(JOURNAL::Create(env.Path("missing/folder/j.log"), &error));
    EXPECT_EQ(JOURNAL::Journal, nullptr);
    EXPECT_NE(error.find("missing/folder/j.log"), std::string::npos) << error;

    ASSERT_TRUE(JOURNAL::Create(env.Path("a.log")));
    JOURNAL* first = JOURNAL::Journal;
    EXPECT_FALSE(JOURNAL::Create(env.Path("b.log"), &error));
    EXPECT_EQ(JOURNAL::Journal, first);
    EXPECT_FALSE(testsupport::FileExists(env.Path("b.log")));

    // A new journal appends to what an earlier run left.
    JOURNAL::Journal->Log(JOURNAL::LEVEL_ERROR, "run 1");
    JOURNAL::Destroy();
    ASSERT_TRUE(JOURNAL::Create(env.Path("a.log")));
    JOURNAL::Journal->Log(JOURNAL::LEVEL_ERROR, "run 2");
    const auto lines = Lines(env.Path("a.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(TextOf(lines[1]), "run 2");
}

TEST_F(JournalTest, LinesFromFourThreadsStayWhole)
{
    const std::string path = env.Path("j.log");
    ASSERT_TRUE(JOURNAL::Create(path));
    constexpr int kThreads = 4, kLines = 10000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(
            [t]
            {
                for (int i = 0; i < kLines; ++i)
                    JOURNAL::Journal->Log(JOURNAL::LEVEL_DEBUG, "writer %d line %05d %s", t, i,
                                          "padding-padding-padding-padding-padding-padding");
            });
    for (auto& t : threads)
        t.join();

    const auto lines = Lines(path);
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    std::map<int, std::string> threadOfWriter;
    const std::regex shape(R"(\S+ \S+ D (\d+) writer (\d) line (\d{5}) padding(-padding){5})");
    for (const auto& line : lines)
    {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        const int writer = std::stoi(m[2]);
        // Each writer's lines arrive complete and in its own order, tagged with its thread.
        ASSERT_EQ(std::stoi(m[3]), next[writer]++);
        auto [it, fresh] = threadOfWriter.emplace(writer, m[1]);
        if (!fresh)
        {
            ASSERT_EQ(it->second, m[1]);
        }
    }
    std::set<std::string> distinct;
    for (auto& [w, id] : threadOfWriter)
        distinct.insert(id);
    EXPECT_EQ(distinct.size(), size_t(kThreads));
}
