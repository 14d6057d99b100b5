#include "transfer/wav_writer.h"

#include "testsupport/test_env.h"
#include "transfer/signature.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace vark;
using testsupport::ReadFile;

namespace
{
uint32_t Get16(const std::string& s, size_t at)
{
    return static_cast<uint8_t>(s[at]) | (uint32_t{static_cast<uint8_t>(s[at + 1])} << 8);
}
uint32_t Get32(const std::string& s, size_t at)
{
    return Get16(s, at) | (Get16(s, at + 2) << 16);
}

RecordInfo Format(uint32_t headerWord)
{
    return DecodeRecordHeader(0, 0, headerWord, 1);
}
} // namespace

TEST(WavWriter, ThousandDataBytesGiveRiffSize1194AndLength1202)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("2024_05_01 10_20_30.wav");
    const std::string data(1000, '\x55');
    {
        CWavWriter w;
        ASSERT_TRUE(w.Create(path, Format(0))); // 8 kHz mono mu-law
        ASSERT_TRUE(w.Write(data.data(), 600));
        ASSERT_TRUE(w.Write(data.data() + 600, 400));
        EXPECT_EQ(w.DataSize(), 1000u);
        ASSERT_TRUE(w.WriteTrailer("2024_05_01 10_20_30"));
        ASSERT_TRUE(w.Close());
    }
    const std::string f = ReadFile(path);
    ASSERT_EQ(f.size(), 1202u);
    EXPECT_EQ(f.substr(0, 4), "RIFF");
    EXPECT_EQ(Get32(f, 4), 1194u);
    EXPECT_EQ(f.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Get32(f, 16), 18u);
    EXPECT_EQ(Get16(f, 20), 7u);
    EXPECT_EQ(Get16(f, 22), 1u);
    EXPECT_EQ(Get32(f, 24), 8000u);
    EXPECT_EQ(Get32(f, 28), 8000u);
    EXPECT_EQ(Get16(f, 32), 1u);
    EXPECT_EQ(Get16(f, 34), 8u);
    EXPECT_EQ(Get16(f, 36), 0u);
    EXPECT_EQ(f.substr(38, 4), "data");
    EXPECT_EQ(Get32(f, 42), 1000u);
    EXPECT_EQ(f.substr(46, 1000), data);
    const std::string t = f.substr(1046);
    EXPECT_EQ(t.substr(0, 4), "LIST");
    EXPECT_EQ(Get32(t, 4), 148u);
    EXPECT_EQ(t.substr(8, 8), "INFOINAM");
    EXPECT_EQ(Get32(t, 16), 64u);
    EXPECT_EQ(t.substr(20, 8), std::string("Varke P\0", 8));
    EXPECT_EQ(t.substr(84, 4), "ICMT");
    EXPECT_EQ(Get32(t, 88), 64u);
    EXPECT_EQ(t.substr(92, 64),
              "Start date-time & sound source: 2024_05_01 10_20_30" + std::string(13, '\0'));

    // A signed export names itself through the trailer.
    Sha1 sha;
    sha.Input(f.data(), f.size());
    ASSERT_TRUE(Sign(path, sha, 9));
    std::wstring name;
    EXPECT_TRUE(Verify(path + ".dsg", path, 9, name));
    EXPECT_EQ(name, L"2024_05_01 10_20_30");
}

TEST(WavWriter, PcmStereoFormatAndLongNamesAreCut)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("x.wav");
    CWavWriter w;
    ASSERT_TRUE(w.Create(path, Format(header::kRate16k | header::kStereo | header::kUncompressed)));
    ASSERT_TRUE(w.WriteTrailer(std::string(40, 'n')));
    ASSERT_TRUE(w.Close());
    const std::string f = ReadFile(path);
    ASSERT_EQ(f.size(), 46u + 156u);
    EXPECT_EQ(Get16(f, 20), 1u);
    EXPECT_EQ(Get16(f, 22), 2u);
    EXPECT_EQ(Get32(f, 24), 16000u);
    EXPECT_EQ(Get32(f, 28), 64000u);
    EXPECT_EQ(Get16(f, 32), 4u);
    EXPECT_EQ(Get16(f, 34), 16u);
    EXPECT_EQ(f.substr(46 + 92 + 32, 32), std::string(30, 'n') + std::string(2, '\0'));
    // Multi-byte characters are kept whole and the comment keeps its terminating zero.
    std::string wide;
    for (int i = 0; i < 30; ++i)
        wide += "\xD0\x96"; // 30 two-byte characters
    const std::string t2 = WavTrailer(wide);
    EXPECT_EQ(t2.substr(124, 32), wide.substr(0, 30) + std::string(2, '\0'));
    EXPECT_EQ(t2[155], '\0');
}

TEST(WavWriter, FailedExportLeavesAValidFileOfWhatWasWritten)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("part.wav");
    CWavWriter w(2000); // a small data limit stands in for 0xFFFFFEFF
    ASSERT_TRUE(w.Create(path, Format(0)));
    const std::string data(1500, 'd');
    ASSERT_TRUE(w.Write(data.data(), data.size()));
    EXPECT_FALSE(w.Write(data.data(), 500)); // would reach the limit: closed first, fails
    EXPECT_FALSE(w.IsOpen());
    EXPECT_FALSE(w.Write(data.data(), 1));
    const std::string f = ReadFile(path);
    ASSERT_EQ(f.size(), 46u + 1500u);
    EXPECT_EQ(Get32(f, 4), 38u + 1500u);
    EXPECT_EQ(Get32(f, 42), 1500u);

    // Recreating replaces the old file.
    ASSERT_TRUE(w.Create(path, Format(0)));
    ASSERT_TRUE(w.Write(data.data(), 10));
    w.Close();
    EXPECT_EQ(ReadFile(path).size(), 56u);
}

TEST(WavWriter, UnwritableTargetsFail)
{
    testsupport::ScopedTestEnv env;
    CWavWriter w;
    EXPECT_FALSE(w.Create(env.Path("no/such/dir/a.wav"), Format(0)));
    EXPECT_FALSE(w.IsOpen());
    std::filesystem::create_directory(env.Path("dir.wav"));
    EXPECT_FALSE(w.Create(env.Path("dir.wav"), Format(0)));
    if (std::filesystem::exists("/dev/full"))
    {
        // A full disk: the header write itself fails.
        EXPECT_FALSE(w.Create("/dev/full", Format(0)));
        EXPECT_FALSE(w.IsOpen());
    }
}
