#include "movra/datasrc_file.h"

#include "faltor/exceptions.h"
#include "platform/text.h"
#include "testsupport/test_env.h"
#include "wave_bytes.h"

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

using namespace wavetest;

namespace
{

RNUMBER64 Ms(int64_t ms)
{
    return RNUMBER64::FromMs(ms);
}

struct Files
{
    std::wstring Make(const std::string& name, uint32_t rate, uint16_t channels, size_t frames)
    {
        testsupport::WriteFile(env.Path(name), PcmFile(rate, channels, frames));
        return platform::Utf8ToWide(env.Path(name));
    }
    testsupport::ScopedTestEnv env;
};

// Reads until the end mark (or `limit` messages); the planar channels appended.
std::vector<std::vector<int16_t>> ReadToEnd(DATASRC_FILE& source, int limit = 100000)
{
    std::vector<std::vector<int16_t>> channels;
    SMSG msg;
    for (int i = 0; i < limit; ++i)
    {
        EXPECT_TRUE(source.Read(msg, Ms(20)));
        channels.resize(msg.channels);
        for (unsigned long c = 0; c < msg.channels; ++c)
            channels[c].insert(channels[c].end(), msg.Channel(c), msg.Channel(c) + msg.Frames());
        if (msg.eof) break;
    }
    return channels;
}

std::vector<int16_t> Channel(size_t first, size_t frames, unsigned c)
{
    std::vector<int16_t> v;
    for (size_t i = first; i < first + frames; ++i)
        v.push_back(Ramp(i, c));
    return v;
}

} // namespace

TEST(DatasrcFile, EntryOffsetSetsTheStartAndMessagesAreContiguous)
{
    Files f;
    const auto name = f.Make("a.wav", 1000, 1, 8000);
    DATASRC_FILE source;
    ASSERT_TRUE(source.Open({name + L"<>5000"}));
    RNUMBER64 length;
    ASSERT_TRUE(source.Size(length));
    EXPECT_EQ(length, RNUMBER64(8));
    SMSG msg;
    ASSERT_TRUE(source.Read(msg, Ms(20)));
    EXPECT_EQ(msg.start, RNUMBER64(5));
    EXPECT_EQ(msg.length, Ms(20));
    EXPECT_EQ(msg.rate, 1000);
    EXPECT_EQ(msg.Channel(0)[0], Ramp(5000, 0));
    ASSERT_TRUE(source.Read(msg, Ms(20)));
    EXPECT_EQ(msg.start, Ms(5020));
    source.Close();

    ASSERT_TRUE(source.Open({name}));
    const auto all = ReadToEnd(source);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0], Channel(0, 8000, 0));
    std::vector<std::wstring> names;
    ASSERT_TRUE(source.GetFileNames(names));
    EXPECT_EQ(names, std::vector<std::wstring>{name});
    EXPECT_FALSE(source.Worker(0)->IsLibraryReader());
}

TEST(DatasrcFile, FilesSideBySideLastAsLongAsTheLongest)
{
    Files f;
    const auto a = f.Make("a.wav", 1000, 1, 10000);
    const auto b = f.Make("b.wav", 1000, 2, 12000);
    DATASRC_FILE source;
    ASSERT_TRUE(source.Open({a, b}));
    RNUMBER64 length;
    ASSERT_TRUE(source.Size(length));
    EXPECT_EQ(length, RNUMBER64(12));
    long channels = 0;
    ASSERT_TRUE(source.GetChannelsCount(channels));
    EXPECT_EQ(channels, 3);
    const auto all = ReadToEnd(source);
    ASSERT_EQ(all.size(), 3u);
    std::vector<int16_t> first = Channel(0, 10000, 0);
    first.resize(12000, 0); // silent once the shorter file has ended
    EXPECT_EQ(all[0], first);
    EXPECT_EQ(all[1], Channel(0, 12000, 0));
    EXPECT_EQ(all[2], Channel(0, 12000, 1));
}

TEST(DatasrcFile, FilesAtAnotherRatePlayAtTheFirstFilesRate)
{
    Files f;
    const auto a = f.Make("a.wav", 1000, 1, 1000);
    const auto b = f.Make("b.wav", 500, 1, 500);
    DATASRC_FILE source;
    ASSERT_TRUE(source.Open({a, b}));
    const auto all = ReadToEnd(source);
    ASSERT_EQ(all.size(), 2u);
    ASSERT_EQ(all[1].size(), 1000u);
    for (size_t j = 0; j < 1000; ++j)
        ASSERT_EQ(all[1][j], Ramp(j / 2, 0)) << j;
}

TEST(DatasrcFile, RingLoopsUntilItIsSwitchedOff)
{
    Files f;
    DATASRC_FILE source;
    ASSERT_TRUE(source.Open({f.Make("a.wav", 1000, 1, 5000)}));
    RNUMBER64 from, to;
    EXPECT_FALSE(source.GetRing(from, to));
    EXPECT_THROW(source.RingOff(), LOGIC_ERROR);
    ASSERT_TRUE(source.RingOn(RNUMBER64(1), RNUMBER64(3)));
    ASSERT_TRUE(source.GetRing(from, to));
    EXPECT_EQ(from, RNUMBER64(1));
    EXPECT_EQ(to, RNUMBER64(3));
    SMSG msg;
    RNUMBER64 expected(1);
    // 20 s of reading: always inside the ring, contiguous but for the jump back.
    for (int i = 0; i < 1000; ++i)
    {
        ASSERT_TRUE(source.Read(msg, Ms(30)));
        ASSERT_FALSE(msg.eof);
        ASSERT_EQ(msg.start, expected) << i;
        ASSERT_LE(msg.start + msg.length, RNUMBER64(3));
        ASSERT_EQ(msg.Channel(0)[0], Ramp(size_t(msg.start.ToMs()), 0));
        expected = msg.start + msg.length;
        if (expected == RNUMBER64(3)) expected = RNUMBER64(1);
    }
    // A ring that reaches past the end of the file loops too.
    ASSERT_TRUE(source.RingOn(Ms(4900), RNUMBER64(9)));
    for (int i = 0; i < 20; ++i)
    {
        ASSERT_TRUE(source.Read(msg, Ms(20)));
        ASSERT_FALSE(msg.eof);
        ASSERT_FALSE(msg.IsEmpty()) << i;
    }
    ASSERT_TRUE(source.RingOff());
    EXPECT_FALSE(source.IsRing());
    ReadToEnd(source);
    ASSERT_TRUE(source.Read(msg, Ms(20)));
    EXPECT_TRUE(msg.eof);
}

TEST(DatasrcFile, BadListsAndMisuse)
{
    Files f;
    const auto good = f.Make("a.wav", 1000, 1, 100);
    const std::wstring missing = platform::Utf8ToWide(f.env.Path("missing.wav"));
    DATASRC_FILE source;
    SMSG msg;
    RNUMBER64 reached;
    EXPECT_FALSE(source.Read(msg, Ms(20)));
    EXPECT_THROW(source.Seek(RNUMBER64(0), reached), LOGIC_ERROR);
    EXPECT_FALSE(source.Open({}));
    EXPECT_FALSE(source.Open({good, L""}));
    try
    {
        source.Open({good, missing + L"<>300"});
        FAIL() << "opened a missing file";
    }
    catch (const RUNTIME_ERROR& e)
    {
        EXPECT_EQ(std::string(e.what()).rfind("Failed to open " + f.env.Path("missing.wav"), 0), 0u)
            << e.what();
    }
    // Nothing of the failed list stays open.
    EXPECT_FALSE(source.IsOpen());
    testsupport::WriteFile(f.env.Path("junk.wav"), "RIFF....WAVE nothing here");
    EXPECT_THROW(source.Open({platform::Utf8ToWide(f.env.Path("junk.wav"))}), RUNTIME_ERROR);
    ASSERT_TRUE(source.Open({good}));
    EXPECT_THROW(source.Open({good}), LOGIC_ERROR);
    EXPECT_TRUE(source.Close());
    EXPECT_TRUE(source.Close());
}

TEST(DatasrcFile, AGrowingFileReportsItsNewLength)
{
    Files f;
    const auto name = f.Make("grow.wav", 1000, 1, 1000);
    DATASRC_FILE source;
    ASSERT_TRUE(source.Open({name}));
    RNUMBER64 length;
    EXPECT_FALSE(source.SizeChanged(length));
    testsupport::WriteFile(f.env.Path("grow.wav"), testsupport::ReadFile(f.env.Path("grow.wav")) +
                                                       Pcm16(Channel(1000, 1000, 0)));
    SMSG msg;
    source.Read(msg, Ms(20));
    EXPECT_TRUE(source.SizeChanged(length));
    EXPECT_EQ(length, RNUMBER64(2));
    EXPECT_FALSE(source.SizeChanged(length));
}

TEST(DatasrcFile, DctFilesAreConvertedByTheOutsideProgram)
{
    Files f;
    const std::string dct = f.env.Path("my talk.DCT");
    testsupport::WriteFile(dct, "coded");
    testsupport::WriteFile(f.env.Path("ready.wav"), PcmFile(1000, 1, 300));
    const std::string bin = f.env.Path("bin");
    ASSERT_EQ(mkdir(bin.c_str(), 0700), 0);
    DATASRC_FILE source;
    // Without the converter.
    f.env.Set("PATH", bin);
    try
    {
        source.Open({platform::Utf8ToWide(dct)});
        FAIL() << "opened without a converter";
    }
    catch (const RUNTIME_ERROR& e)
    {
        EXPECT_NE(std::string(e.what()).find("Get_DCT_SoundFile: DCT to WAV conversion failed"),
                  std::string::npos);
    }
    EXPECT_THROW(Get_DCT_SoundFile(platform::Utf8ToWide(f.env.Path("none.DCT"))), RUNTIME_ERROR);
    EXPECT_THROW(Get_DCT_SoundFile(platform::Utf8ToWide(f.env.Path("ready.wav"))), RUNTIME_ERROR);

    // A stand-in converter that checks its two arguments.
    testsupport::WriteFile(bin + "/etools", "#!/bin/sh\n[ $# -eq 2 ] && [ -f \"$1\" ] || exit 3\n"
                                            "exec /bin/cp '" +
                                                f.env.Path("ready.wav") + "' \"$2\"\n");
    ASSERT_EQ(chmod((bin + "/etools").c_str(), 0700), 0);
    ASSERT_TRUE(source.Open({platform::Utf8ToWide(dct) + L"<>100"}));
    EXPECT_TRUE(testsupport::FileExists(f.env.Path("my talk.WAV")));
    RNUMBER64 length;
    source.Size(length);
    EXPECT_EQ(length, Ms(300));
    std::vector<std::wstring> names;
    source.GetFileNames(names);
    EXPECT_EQ(names.front(), platform::Utf8ToWide(dct));
    SMSG msg;
    source.Read(msg, Ms(20));
    EXPECT_EQ(msg.start, Ms(100));
}

TEST(DatasrcFile, DamagedFilesEitherFailToOpenOrPlayToTheirEnd)
{
    Files f;
    const std::string good = Riff(Fmt(1, 2, 1000, 16) + Chunk("LIST", "INFOabc") +
                                  Chunk("data", Pcm16(Interleaved(200, 2))));
    const std::wstring name = platform::Utf8ToWide(f.env.Path("damaged.wav"));
    const auto attempt = [&](const std::string& bytes)
    {
        testsupport::WriteFile(f.env.Path("damaged.wav"), bytes);
        DATASRC_FILE source;
        try
        {
            if (!source.Open({name})) return;
        }
        catch (const RUNTIME_ERROR&)
        {
            return;
        }
        SMSG msg;
        int reads = 0;
        do
            ASSERT_TRUE(source.Read(msg, Ms(20)));
        while (!msg.eof && ++reads < 100000);
        EXPECT_TRUE(msg.eof);
    };
    // Every file the native reader refuses goes on to the library's readers, which take a
    // while to refuse: the cuts lie at and around the chunk boundaries.
    for (size_t n : {0, 4, 11, 12, 20, 35, 36, 43, 44, 50, 51, 52, 60, 100, 300})
        attempt(good.substr(0, std::min(n, good.size())));
    std::mt19937 random(11);
    for (int round = 0; round < 30; ++round)
    {
        std::string bytes = good;
        for (int i = 0; i < 3; ++i)
            bytes[random() % 64] = char(random());
        attempt(bytes);
    }
}
