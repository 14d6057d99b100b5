#include "ondakit/input_dx_sound_file_stream.h"
#include "ondakit_test_files.h"

#include <gtest/gtest.h>
#include <memory>

using odktest::Wide;

namespace
{

std::unique_ptr<InputDXSoundFileStream> OpenMedia(const std::string& path)
{
    return std::unique_ptr<InputDXSoundFileStream>(InputDXSoundFileStream::Open(path.c_str()));
}

} // namespace

TEST(MediaReader, SmallReadsGoThroughTheInternalBufferFromAnyBuffer)
{
    testsupport::ScopedTestEnv env;
    const auto pcm = odktest::Ramp(2 * 20000); // 20000 stereo frames
    testsupport::WriteFile(env.Path("a.wav"), odktest::PcmWav(16000, 2, pcm));
    auto s = OpenMedia(env.Path("a.wav"));
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->UsesDX());
    EXPECT_EQ(s->GetChannelCount(), 2);
    EXPECT_EQ(s->GetSampleRate(), 16000);
    EXPECT_EQ(s->GetSampleCount(), 20000);
    std::vector<int16_t> got;
    std::vector<int16_t> a(200), b(200);
    for (int i = 0;; ++i)
    {
        auto& buf = i % 2 ? a : b; // 100 frames = 400 bytes, alternating buffers
        const int n = s->ReadData(buf.data(), 100);
        if (n <= 0) break;
        got.insert(got.end(), buf.begin(), buf.begin() + 2 * n);
    }
    EXPECT_EQ(got, pcm);
    int state = -1;
    char text[64];
    EXPECT_EQ(s->GetErrorState(&state, text, sizeof text), 0);
    EXPECT_EQ(state, InputDXSoundFileStream::StateOpen);
    EXPECT_STREQ(text, "Success");
}

TEST(MediaReader, LargeReadsMustKeepTheirBoundBuffer)
{
    testsupport::ScopedTestEnv env;
    const auto pcm = odktest::Ramp(10000);
    testsupport::WriteFile(env.Path("a.wav"), odktest::PcmWav(8000, 1, pcm));
    auto s = OpenMedia(env.Path("a.wav"));
    ASSERT_TRUE(s);
    std::vector<int16_t> big(8192), other(8192);
    ASSERT_EQ(s->ReadData(big.data(), 8192), 8192);
    EXPECT_EQ(std::vector<int16_t>(big.begin(), big.end()),
              std::vector<int16_t>(pcm.begin(), pcm.begin() + 8192));
    // The rest of the stream with a smaller request into the same buffer is allowed.
    EXPECT_EQ(s->ReadData(big.data(), 2000), 1808);
    EXPECT_EQ(big[1807], pcm[9999]);

    auto t = OpenMedia(env.Path("a.wav"));
    ASSERT_TRUE(t);
    ASSERT_EQ(t->ReadData(big.data(), 8192), 8192);
    EXPECT_EQ(t->ReadData(other.data(), 100), 0); // another buffer: error 4
    int state = 0;
    char text[512];
    EXPECT_EQ(t->GetErrorState(&state, text, sizeof text), 4);
    EXPECT_EQ(state, InputDXSoundFileStream::StateFailed);
    EXPECT_EQ(std::string(text), "Error in Function InputDXSoundFileStream::ReadData, "
                                 "ReadParamsDiff (file " +
                                     env.Path("a.wav") + ")\n");
    char small[6];
    t->GetErrorState(nullptr, small, sizeof small);
    EXPECT_STREQ(small, "Error");
    EXPECT_EQ(t->ReadData(big.data(), 8192), 0);
    EXPECT_EQ(t->Seek(0), -1);
}

TEST(MediaReader, SeeksInsideTheBufferAndInTheStream)
{
    testsupport::ScopedTestEnv env;
    const auto pcm = odktest::Ramp(16000);
    testsupport::WriteFile(env.Path("a.wav"), odktest::PcmWav(8000, 1, pcm));
    auto s = OpenMedia(env.Path("a.wav"));
    ASSERT_TRUE(s);
    ASSERT_TRUE(s->IsSeekSupported());
    short v[10];
    ASSERT_EQ(s->ReadData(v, 10), 10); // the internal buffer now holds frames 0..8191
    EXPECT_DOUBLE_EQ(s->Seek(0.5), 0.5);
    ASSERT_EQ(s->ReadData(v, 1), 1);
    EXPECT_EQ(v[0], 4000);
    EXPECT_DOUBLE_EQ(s->Seek(1.75), 1.75);
    ASSERT_EQ(s->ReadData(v, 2), 2);
    EXPECT_EQ(v[0], 14000);
    EXPECT_EQ(v[1], 14001);
    EXPECT_DOUBLE_EQ(s->Seek(99), 2.0);
    EXPECT_EQ(s->ReadData(v, 10), 0);
}

TEST(MediaReader, LosslessAndCodedFilesDecode)
{
    testsupport::ScopedTestEnv env;
    const auto pcm = acmtest::Tone(44100, 2, 44100, 440, 10000);
    testsupport::WriteFile(env.Path("a.flac"),
                           acmtest::FlacFile(acmtest::Encode("flac", 0xF1AC, 44100, 2, pcm)));
    const auto mp3 = acmtest::Encode("libmp3lame", WAVE_FORMAT_MPEGLAYER3, 44100, 2, pcm);
    testsupport::WriteFile(env.Path("a.mp3"), std::string(mp3.data.begin(), mp3.data.end()));
    auto flac = OpenMedia(env.Path("a.flac"));
    ASSERT_TRUE(flac);
    EXPECT_EQ(odktest::ReadAll(*flac, 1000, 2), pcm);
    std::unique_ptr<InputDXSoundFileStream> m(
        InputDXSoundFileStream::Open(Wide(env.Path("a.mp3")).c_str()));
    ASSERT_TRUE(m);
    EXPECT_GT(acmtest::AlignedSnr(pcm, odktest::ReadAll(*m, 5000, 2), 2, 3000), 15);
}

TEST(MediaReader, UnreadablePathsGiveNull)
{
    testsupport::ScopedTestEnv env;
    testsupport::WriteFile(env.Path("junk.mp3"), std::string(3000, '\x55'));
    EXPECT_FALSE(OpenMedia(env.Path("missing.wav")));
    EXPECT_FALSE(InputDXSoundFileStream::Open(Wide(env.Path("missing.wav")).c_str()));
    EXPECT_FALSE(OpenMedia(env.Path("junk.mp3")));
    EXPECT_FALSE(OpenMedia(env.Root()));
    EXPECT_FALSE(OpenMedia(std::string(2048, 'a')));
    EXPECT_FALSE(InputDXSoundFileStream::Open(std::wstring(2048, L'a').c_str()));
    EXPECT_STREQ(InputDXSoundFileStream::ErrorText(0), "Success");
    EXPECT_STREQ(InputDXSoundFileStream::ErrorText(10), "AMStreamOpenFile Failed");
    EXPECT_STREQ(InputDXSoundFileStream::ErrorText(23), "SampleUpdateFailed_TimeOut");
    EXPECT_STREQ(InputDXSoundFileStream::ErrorText(24), "?");
}
