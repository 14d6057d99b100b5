#include "basix/x_file.h"

#include "testsupport/test_env.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace
{
constexpr uint32_t kNewFile = A_FILE::WRITE | A_FILE::CREATE | A_FILE::TRUNCATE;
}

TEST(XFile, WritesReadsSeeksAndSizes)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("a.wav");
    X_FILE f;
    EXPECT_FALSE(f.IsOpen());
    ASSERT_TRUE(f.Open(path, kNewFile | A_FILE::READ, A_FILE::SHARE_READ))
        << f.GetLastErrorAsString();
    EXPECT_TRUE(f.IsOpen());
    uint32_t done = 99;
    ASSERT_TRUE(f.Write("RIFF....WAVE", 12, &done));
    EXPECT_EQ(done, 12u);
    EXPECT_EQ(f.GetSize(), 12);
    EXPECT_EQ(f.Seek(4, A_FILE::FROM_BEGIN), 4);
    ASSERT_TRUE(f.Write("\x24\0\0\0", 4, &done));
    EXPECT_EQ(f.Seek(-4, A_FILE::FROM_END), 8);
    char buf[16] = {};
    ASSERT_TRUE(f.Read(buf, 16, &done));
    EXPECT_EQ(done, 4u); // short only at the end
    EXPECT_EQ(std::string(buf, 4), "WAVE");
    ASSERT_TRUE(f.Read(buf, 16, &done));
    EXPECT_EQ(done, 0u); // at the end: success with nothing
    EXPECT_EQ(f.Seek(-8, A_FILE::FROM_CURRENT), 4);
    // Beyond 4 GiB positions are 64-bit; the gap reads as a hole.
    EXPECT_EQ(f.Seek(int64_t(5) << 30, A_FILE::FROM_BEGIN), int64_t(5) << 30);
    EXPECT_EQ(f.Seek(-1, A_FILE::FROM_BEGIN), -1);
    EXPECT_NE(f.GetLastErrorAsString().find("seek \"" + path + "\": Invalid argument"),
              std::string::npos);
    A_FILE::STAT st;
    ASSERT_TRUE(f.Stat(&st));
    EXPECT_TRUE(st.regular);
    EXPECT_EQ(st.size, 12);
    EXPECT_TRUE(f.Flush());
    f.Close();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(testsupport::ReadFile(path), std::string("RIFF\x24\0\0\0WAVE", 12));

    // Reopen without truncation keeps the content; with it, cuts it.
    ASSERT_TRUE(f.Open(std::wstring(path.begin(), path.end()), A_FILE::READ, A_FILE::SHARE_READ));
    EXPECT_EQ(f.GetSize(), 12);
    ASSERT_TRUE(f.Open(path.c_str(), kNewFile, A_FILE::SHARE_READ));
    EXPECT_EQ(f.GetSize(), 0);
    EXPECT_TRUE(f.Remove());
    EXPECT_FALSE(testsupport::FileExists(path));
    EXPECT_FALSE(f.Remove());
}

TEST(XFile, UnicodeNamesAndLinkedHandles)
{
    testsupport::ScopedTestEnv env;
    const std::wstring wide = std::wstring(env.Root().begin(), env.Root().end()) + L"/Запись 1.wav";
    X_FILE f;
    ASSERT_TRUE(f.Open(wide, kNewFile, A_FILE::SHARE_READ));
    ASSERT_TRUE(f.Write("x", 1, nullptr));
    f.Close();
    EXPECT_EQ(testsupport::ReadFile(env.Root() + "/Запись 1.wav"), "x");

    const int fd = ::open((env.Root() + "/Запись 1.wav").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    X_FILE linked;
    ASSERT_TRUE(linked.LinkTo(wide, fd));
    EXPECT_EQ(linked.GetSize(), 1);
    EXPECT_EQ(linked.GetName(), env.Root() + "/Запись 1.wav");
    linked.Close();
    EXPECT_EQ(::lseek(fd, 0, SEEK_END), 1); // the caller's handle is still open
    ::close(fd);
    EXPECT_FALSE(linked.LinkTo(L"gone", fd));
    EXPECT_NE(linked.GetLastErrorAsString().find("link \"gone\": Bad file descriptor"),
              std::string::npos);
}

TEST(XFile, FailuresAreReportedAndExplained)
{
    testsupport::ScopedTestEnv env;
    X_FILE f;
    const std::string missing = env.Path("no such.wav");
    EXPECT_FALSE(f.Open(missing, A_FILE::READ, A_FILE::SHARE_READ));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.GetLastErrorAsString(), "open \"" + missing + "\": No such file or directory");

    EXPECT_FALSE(f.Open(env.Root(), A_FILE::READ, A_FILE::SHARE_READ));
    EXPECT_EQ(f.GetLastErrorAsString(), "open \"" + env.Root() + "\": Is a directory");

    const std::string longName = env.Root() + "/" + std::string(2048, 'n');
    EXPECT_FALSE(f.Open(longName, kNewFile, A_FILE::SHARE_READ));
    const std::string text = f.GetLastErrorAsString();
    EXPECT_NE(text.find("File name too long"), std::string::npos) << text;
    EXPECT_LT(text.size(), 300u);

    EXPECT_FALSE(f.Open(env.Path("x"), 0, 0)); // neither read nor write
    f.Close();
    testsupport::WriteFile(env.Path("exists"), "data");
    EXPECT_FALSE(f.Open(env.Path("exists"), kNewFile | A_FILE::EXCLUSIVE, 0));
    EXPECT_NE(f.GetLastErrorAsString().find("File exists"), std::string::npos);
    EXPECT_EQ(testsupport::ReadFile(env.Path("exists")), "data");

    // Every operation on a closed file fails instead of touching descriptor -1.
    X_FILE closed;
    char buf[4];
    uint32_t done = 7;
    EXPECT_FALSE(closed.Read(buf, 4, &done));
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(closed.Write(buf, 4, &done));
    EXPECT_EQ(closed.Seek(0, A_FILE::FROM_BEGIN), -1);
    EXPECT_EQ(closed.GetSize(), -1);
    EXPECT_FALSE(closed.Flush());
    EXPECT_FALSE(closed.Stat(nullptr));
    EXPECT_NE(closed.GetLastErrorAsString().find("Bad file descriptor"), std::string::npos);

    // Reading from a write-only file fails and says so.
    ASSERT_TRUE(f.Open(env.Path("w"), kNewFile, A_FILE::SHARE_READ));
    EXPECT_FALSE(f.Read(buf, 4, &done));
    EXPECT_NE(f.GetLastErrorAsString().find("read \""), std::string::npos);
}

TEST(XFile, ShareFlagsRefuseConflictingOpensWithoutHarm)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("rec.wav");
    X_FILE writer;
    ASSERT_TRUE(writer.Open(path, kNewFile, A_FILE::SHARE_READ));
    ASSERT_TRUE(writer.Write("abcd", 4, nullptr));

    // A reader that lets the writer go on may open; one that denies writing may not.
    X_FILE reader, denier, secondWriter;
    EXPECT_TRUE(reader.Open(path, A_FILE::READ, A_FILE::SHARE_READ | A_FILE::SHARE_WRITE));
    EXPECT_FALSE(denier.Open(path, A_FILE::READ, A_FILE::SHARE_READ));
    EXPECT_EQ(denier.GetLastErrorAsString(),
              "open \"" + path + "\": sharing violation: the file is in use");
    // A refused truncating open leaves the data alone.
    EXPECT_FALSE(secondWriter.Open(path, kNewFile, A_FILE::SHARE_READ | A_FILE::SHARE_WRITE));
    EXPECT_EQ(writer.GetSize(), 4);
    // The reader sees the writer's growth.
    ASSERT_TRUE(writer.Write("ef", 2, nullptr));
    EXPECT_EQ(reader.GetSize(), 6);

    writer.Close();
    reader.Close();
    EXPECT_TRUE(denier.Open(path, A_FILE::READ, A_FILE::SHARE_READ));
    X_FILE exclusive;
    EXPECT_FALSE(exclusive.Open(path, A_FILE::READ, A_FILE::SHARE_NONE));
    denier.Close();
    EXPECT_TRUE(exclusive.Open(path, A_FILE::READ, A_FILE::SHARE_NONE));
}
