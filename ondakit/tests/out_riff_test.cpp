#include "ondakit/out_riff_file_stream.h"
#include "ondakit/wave_format.h"
#include "ondakit_test_files.h"
#include "platform/little_endian.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/wait.h>

using odktest::Wide;
#include <unistd.h>

namespace
{
uint32_t At32(const std::string& b, size_t off)
{
    return platform::LoadLE32(reinterpret_cast<const uint8_t*>(b.data()) + off);
}
} // namespace

TEST(OutRiffFileStream, EmptyPcmFileIsTheBare46ByteHeader)
{
    testsupport::ScopedTestEnv env;
    {
        OutRiffFileStream out(env.Path("e.wav").c_str(), 8000, 2);
    }
    const std::string b = testsupport::ReadFile(env.Path("e.wav"));
    ASSERT_EQ(b.size(), 46u);
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(At32(b, 4), 38u);
    EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(At32(b, 16), 18u);
    EXPECT_EQ(platform::LoadLE16(reinterpret_cast<const uint8_t*>(b.data()) + 22), 2); // channels
    EXPECT_EQ(At32(b, 24), 8000u);
    EXPECT_EQ(At32(b, 28), 32000u);
    EXPECT_EQ(b.substr(38, 4), "data");
    EXPECT_EQ(At32(b, 42), 0u);
}

TEST(OutRiffFileStream, HeaderFollowsEvenTotalsAndTheEndIsPadded)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("w.wav");
    {
        OutRiffFileStream out(Wide(path).c_str(), 8000, 1);
        EXPECT_EQ(out.WriteBytes("abc", 3), 3);
        EXPECT_EQ(At32(testsupport::ReadFile(path), 42), 0u); // odd total: not yet
        EXPECT_EQ(out.WriteBytes("d", 1), 1);
        std::string b = testsupport::ReadFile(path);
        EXPECT_EQ(At32(b, 42), 4u);
        EXPECT_EQ(At32(b, 4), 42u);
        EXPECT_EQ(b.substr(46), "abcd"); // no pad byte between the samples
        EXPECT_EQ(out.WriteBytes("e", 1), 1);
        EXPECT_EQ(out.WriteBytes(nullptr, 5), 0);
        EXPECT_EQ(out.WriteBytes("x", 0), 0);
    }
    const std::string b = testsupport::ReadFile(path);
    ASSERT_EQ(b.size(), 46u + 5 + 1);
    EXPECT_EQ(At32(b, 42), 5u);
    EXPECT_EQ(At32(b, 4), b.size() - 8);
    EXPECT_EQ(b.back(), '\0');
}

TEST(OutRiffFileStream, FormatBlockIsWrittenWholeWithItsPad)
{
    testsupport::ScopedTestEnv env;
    WAVEFORMATEX* f = WaveFormat::CreateFormat(1);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->cbSize, 1);
    *f = WAVEFORMATEX{WAVE_FORMAT_IMA_ADPCM, 1, 8000, 4055, 256, 4, 1};
    platform::WaveFormatExtra(f)[0] = 0x7E;
    WAVEFORMATEX* copy = WaveFormat::CreateFormat(f);
    ASSERT_TRUE(copy);
    EXPECT_EQ(platform::WaveFormatExtra(copy)[0], 0x7E);
    {
        OutRiffFileStream out(env.Path("c.wav").c_str(), copy);
    }
    WaveFormat::FreeFormat(copy);
    WaveFormat::FreeFormat(f);
    EXPECT_FALSE(WaveFormat::CreateFormat(-1));
    EXPECT_FALSE(WaveFormat::CreateFormat(70000));

    const std::string b = testsupport::ReadFile(env.Path("c.wav"));
    EXPECT_EQ(At32(b, 16), 19u);
    EXPECT_EQ(static_cast<uint8_t>(b[20 + 18]), 0x7E);
    EXPECT_EQ(b[39], '\0'); // pad after the odd format chunk
    EXPECT_EQ(b.substr(40, 4), "data");
    EXPECT_EQ(b.size(), 48u);
    EXPECT_EQ(At32(b, 4), 40u);
}

TEST(OutRiffFileStream, AKilledWriterLeavesACurrentHeader)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("k.wav");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
    {
        auto* out = new OutRiffFileStream(path.c_str(), 8000, 1);
        out->WriteBytes("abcd", 4);
        _exit(0); // no destructor runs
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string b = testsupport::ReadFile(path);
    ASSERT_EQ(b.size(), 50u);
    EXPECT_EQ(At32(b, 42), 4u);
    EXPECT_EQ(At32(b, 4), 42u);
}

TEST(OutRiffFileStream, OpenFailuresRaiseTheComposedText)
{
    testsupport::ScopedTestEnv env;
    try
    {
        OutRiffFileStream out(env.Path("no/such/folder.wav").c_str(), 8000, 1);
        FAIL() << "opened";
    }
    catch (const std::runtime_error& e)
    {
        EXPECT_EQ(std::string(e.what()), "Error 2: \nNo such file or directory\n}\n");
    }
    EXPECT_THROW(OutRiffFileStream(env.Root().c_str(), 8000, 1), std::runtime_error);
    EXPECT_THROW(OutRiffFileStream(env.Path("z.wav").c_str(), 0, 1), std::runtime_error);
    EXPECT_FALSE(testsupport::FileExists(env.Path("z.wav")));
    EXPECT_EQ(OutRiffFileStream::ErrorText(0, "Can't write WaveFormat structure"),
              "Error 0: Can't write WaveFormat structure{}\n");
    EXPECT_EQ(OutRiffFileStream::ErrorText(13, "x"), "Error 13: x{\nPermission denied\n}\n");
}
