#include "platform/media_probe.h"
#include "platform/mediastream.h"

#include "acmtest/codec_files.h"
#include "testsupport/test_env.h"

#include <filesystem>
#include <gtest/gtest.h>

using platform::mediastream::AudioStream;
using platform::mediastream::OpenError;
using platform::mediastream::UpdateStatus;

namespace
{

// Everything the stream delivers, through a bound buffer of `bufferBytes`.
std::vector<int16_t> ReadAll(AudioStream& s, size_t bufferBytes)
{
    std::vector<uint8_t> buffer(bufferBytes);
    EXPECT_TRUE(s.SetBuffer(buffer.data(), buffer.size()));
    platform::Event done;
    std::vector<int16_t> out;
    for (int guard = 0; guard < 1000000; ++guard)
    {
        const UpdateStatus st = s.Update(&done);
        if (st == UpdateStatus::endOfStream) break;
        EXPECT_EQ(st, UpdateStatus::ok);
        EXPECT_TRUE(done.Wait(0));
        EXPECT_EQ(s.ActualLength() % s.Format().nBlockAlign, 0u);
        for (size_t i = 0; i + 1 < s.ActualLength(); i += 2)
            out.push_back(static_cast<int16_t>(buffer[i] | buffer[i + 1] << 8));
    }
    return out;
}

std::string PcmWav(int rate, int channels, const std::vector<int16_t>& pcm)
{
    const WAVEFORMATEX f = platform::MakePcmFormat(rate, channels);
    return acmtest::RiffFile(platform::WaveFormatBlock(&f), acmtest::Bytes(pcm));
}

} // namespace

TEST(MediaStream, WaveAndFlacFilesDeliverTheirExactSamples)
{
    testsupport::ScopedTestEnv env;
    const auto pcm = acmtest::Tone(44100, 2, 44100, 440, 12000);
    testsupport::WriteFile(env.Path("a.wav"), PcmWav(44100, 2, pcm));
    const auto flac = acmtest::Encode("flac", 0xF1AC, 44100, 2, pcm);
    testsupport::WriteFile(env.Path("a.flac"), acmtest::FlacFile(flac));

    for (const char* name : {"a.wav", "a.flac"})
    {
        SCOPED_TRACE(name);
        OpenError error = OpenError::cannotOpen;
        auto s = AudioStream::Open(env.Path(name), &error);
        ASSERT_TRUE(s);
        EXPECT_EQ(error, OpenError::none);
        EXPECT_EQ(s->Format().wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(s->Format().wBitsPerSample, 16);
        EXPECT_EQ(s->Format().nChannels, 2);
        EXPECT_EQ(s->Format().nSamplesPerSec, 44100u);
        EXPECT_NEAR(s->Duration(), 10000000, 10000);
        EXPECT_TRUE(s->SupportsSeek());
        EXPECT_EQ(ReadAll(*s, 4002), pcm); // an odd size is used in whole frames
    }
}

TEST(MediaStream, Mp3DecodesAtItsOwnRateAndSeeks)
{
    testsupport::ScopedTestEnv env;
    const auto pcm = acmtest::Tone(22050, 1, 2 * 22050, 700, 9000);
    const auto mp3 = acmtest::Encode("libmp3lame", WAVE_FORMAT_MPEGLAYER3, 22050, 1, pcm, 64000);
    testsupport::WriteFile(env.Path("a.mp3"), std::string(mp3.data.begin(), mp3.data.end()));
    auto s = AudioStream::Open(env.Path("a.mp3"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Format().nSamplesPerSec, 22050u);
    EXPECT_EQ(s->Format().nChannels, 1);
    EXPECT_NEAR(s->Duration() / 1e7, 2.0, 0.15);
    EXPECT_NE(s->Description().find("mp3"), std::string::npos);
    const auto all = ReadAll(*s, 8192);
    EXPECT_GT(acmtest::AlignedSnr(pcm, all, 1, 3000), 15);

    ASSERT_TRUE(s->Seek(10000000));
    const auto tail = ReadAll(*s, 8192);
    EXPECT_NEAR(static_cast<double>(tail.size()), all.size() - 22050.0, 1200);
}

TEST(MediaStream, SeekingAWaveFileLandsOnTheSample)
{
    testsupport::ScopedTestEnv env;
    std::vector<int16_t> ramp(16000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(i);
    testsupport::WriteFile(env.Path("r.wav"), PcmWav(8000, 1, ramp));
    auto s = AudioStream::Open(env.Path("r.wav"));
    ASSERT_TRUE(s);
    ASSERT_TRUE(s->Seek(12345000)); // 1.2345 s = frame 9876
    const auto rest = ReadAll(*s, 1000);
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(rest.front(), 9876);
    EXPECT_EQ(rest.size(), 16000u - 9876);
    EXPECT_FALSE(s->Seek(-1));
}

// A drive pulled while its file plays: what is left of the file is read, then the stream
// ends (or fails) and keeps saying so; it never hangs or delivers more than is there.
TEST(MediaStream, AFileCutShortWhileReadEndsTheStreamEarly)
{
    testsupport::ScopedTestEnv env;
    // a minute, more than the reader takes in ahead when it opens the file
    const auto pcm = acmtest::Tone(16000, 1, 960000, 440, 12000);
    testsupport::WriteFile(env.Path("cut.wav"), PcmWav(16000, 1, pcm));
    testsupport::WriteFile(env.Path("cut.flac"),
                           acmtest::FlacFile(acmtest::Encode("flac", 0xF1AC, 16000, 1, pcm)));
    for (const char* name : {"cut.wav", "cut.flac"})
    {
        SCOPED_TRACE(name);
        auto s = AudioStream::Open(env.Path(name));
        ASSERT_TRUE(s);
        std::vector<uint8_t> buffer(8192);
        ASSERT_TRUE(s->SetBuffer(buffer.data(), buffer.size()));
        platform::Event done;
        ASSERT_EQ(s->Update(&done), UpdateStatus::ok);
        std::filesystem::resize_file(env.Path(name),
                                     std::filesystem::file_size(env.Path(name)) / 4);
        size_t delivered = s->ActualLength();
        UpdateStatus st = UpdateStatus::ok;
        for (int guard = 0; guard < 10000 && st == UpdateStatus::ok; ++guard)
        {
            st = s->Update(&done);
            if (st == UpdateStatus::ok) delivered += s->ActualLength();
        }
        EXPECT_TRUE(st == UpdateStatus::endOfStream || st == UpdateStatus::failed);
        EXPECT_LT(delivered, pcm.size() * 2 / 2); // half of it at most
        EXPECT_NE(s->Update(&done), UpdateStatus::ok);
    }
}

TEST(MediaStream, UnreadableFilesAndMisuseAreRefused)
{
    testsupport::ScopedTestEnv env;
    testsupport::WriteFile(env.Path("text.mp3"), std::string(5000, 'x'));
    testsupport::WriteFile(env.Path("empty.wav"), "");
    OpenError error = OpenError::none;
    EXPECT_FALSE(AudioStream::Open(env.Path("missing.wav"), &error));
    EXPECT_EQ(error, OpenError::cannotOpen);
    EXPECT_FALSE(AudioStream::Open(env.Path("text.mp3"), &error));
    EXPECT_NE(error, OpenError::none);
    EXPECT_FALSE(AudioStream::Open(env.Path("empty.wav")));
    EXPECT_FALSE(AudioStream::Open(env.Root()));

    const auto pcm = acmtest::Tone(8000, 1, 800, 440, 1000);
    testsupport::WriteFile(env.Path("a.wav"), PcmWav(8000, 1, pcm));
    auto s = AudioStream::Open(env.Path("a.wav"));
    ASSERT_TRUE(s);
    platform::Event done;
    EXPECT_EQ(s->Update(&done), UpdateStatus::invalidArgument);
    uint8_t one[1];
    EXPECT_FALSE(s->SetBuffer(one, 1));
    EXPECT_FALSE(s->SetBuffer(nullptr, 100));
}

namespace
{

// An ID3v2.4 tag holding one UTF-8 text frame.
std::string Id3Tag(const std::string& frameId, const std::string& text)
{
    const auto syncsafe = [](uint32_t n)
    {
        return std::string{static_cast<char>(n >> 21 & 0x7F), static_cast<char>(n >> 14 & 0x7F),
                           static_cast<char>(n >> 7 & 0x7F), static_cast<char>(n & 0x7F)};
    };
    const std::string body = "\x03" + text;
    const std::string frame =
        frameId + syncsafe(static_cast<uint32_t>(body.size())) + std::string(2, '\0') + body;
    return std::string("ID3\x04\x00\x00", 6) + syncsafe(static_cast<uint32_t>(frame.size())) +
           frame;
}

} // namespace

TEST(MediaProbe, HeadersGiveFormatLengthAndTagsWhateverTheName)
{
    using platform::mediastream::Probe;
    testsupport::ScopedTestEnv env;
    const auto pcm = acmtest::Tone(16000, 1, 32000, 440, 8000);
    // Content decides, not the extension.
    testsupport::WriteFile(env.Path("really_wav.mp3"), PcmWav(16000, 1, pcm));
    const auto mp3 = acmtest::Encode("libmp3lame", WAVE_FORMAT_MPEGLAYER3, 22050, 1,
                                     acmtest::Tone(22050, 1, 44100, 440, 8000), 64000);
    testsupport::WriteFile(env.Path("tagged.mp3"),
                           Id3Tag("TDRC", "2026-03-18T11:30:00") +
                               std::string(mp3.data.begin(), mp3.data.end()));

    const auto wav = Probe(env.Path("really_wav.mp3"));
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->container, "wav");
    EXPECT_EQ(wav->codec, "pcm_s16le");
    EXPECT_EQ(wav->sampleRate, 16000u);
    EXPECT_EQ(wav->channels, 1);
    EXPECT_NEAR(wav->duration, 2 * platform::mediastream::kUnitsPerSecond, 10000);

    const auto tagged = Probe(env.Path("tagged.mp3"));
    ASSERT_TRUE(tagged);
    EXPECT_EQ(tagged->codec, "mp3");
    EXPECT_EQ(tagged->sampleRate, 22050u);
    EXPECT_NEAR(tagged->duration, 2 * platform::mediastream::kUnitsPerSecond, 1000000);
    EXPECT_EQ(tagged->Tag("DATE"), "2026-03-18T11:30:00");
    EXPECT_EQ(tagged->Tag("nothing"), "");

    testsupport::WriteFile(env.Path("notes.wav"), std::string(5000, 'x'));
    testsupport::WriteFile(env.Path("cut.wav"), PcmWav(16000, 1, pcm).substr(0, 30));
    for (const char* bad : {"notes.wav", "cut.wav", "missing.wav"})
    {
        OpenError error = OpenError::none;
        EXPECT_FALSE(Probe(env.Path(bad), &error)) << bad;
        EXPECT_NE(error, OpenError::none) << bad;
    }
}
