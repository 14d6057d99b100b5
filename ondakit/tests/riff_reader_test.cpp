#include "ondakit/input_acm_sound_file_stream.h"
#include "ondakit_test_files.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

using acmtest::Chunk;
using acmtest::Le16;
using acmtest::Le32;
using odktest::Wide;

namespace
{

std::unique_ptr<InputSoundFileStream> OpenRiff(const std::string& path)
{
    return std::unique_ptr<InputSoundFileStream>(
        InputSoundFileStream::Open(Wide(path).c_str(), OpenRiffOnly));
}

std::string Fmt(uint16_t tag, uint16_t ch, uint32_t rate, uint16_t align, uint16_t bits)
{
    return Le16(tag) + Le16(ch) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits) +
           Le16(0);
}

std::string Riff(const std::string& chunks)
{
    return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

} // namespace

TEST(RiffReader, FactCountIsUsedButNeverBeyondTheData)
{
    testsupport::ScopedTestEnv env;
    const auto pcm = odktest::Ramp(1000);
    const WAVEFORMATEX f = platform::MakePcmFormat(8000, 1);
    const auto data = acmtest::Bytes(pcm);
    testsupport::WriteFile(env.Path("fact.wav"),
                           acmtest::RiffFile(platform::WaveFormatBlock(&f), data, 600));
    testsupport::WriteFile(env.Path("big.wav"),
                           acmtest::RiffFile(platform::WaveFormatBlock(&f), data, 5000000));
    testsupport::WriteFile(env.Path("none.wav"), odktest::PcmWav(8000, 1, pcm));
    auto a = OpenRiff(env.Path("fact.wav"));
    auto b = OpenRiff(env.Path("big.wav"));
    auto c = OpenRiff(env.Path("none.wav"));
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->GetSampleCount(), 600);
    EXPECT_EQ(b->GetSampleCount(), 1000);
    EXPECT_EQ(c->GetSampleCount(), 1000);
    EXPECT_EQ(odktest::ReadAll(*c, 333, 1), pcm);
    EXPECT_FALSE(c->UsesDX());
    EXPECT_TRUE(c->IsSeekSupported());
}

TEST(RiffReader, FloatIsScaledBy32000AndClamped)
{
    testsupport::ScopedTestEnv env;
    testsupport::WriteFile(env.Path("f.wav"),
                           odktest::FloatWav(8000, 2, {1.5f, 0.5f, -2.0f, -0.25f, NAN, 0.0f}));
    auto s = OpenRiff(env.Path("f.wav"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->GetChannelCount(), 2);
    EXPECT_EQ(s->GetSampleCount(), 3);
    EXPECT_EQ(odktest::ReadAll(*s, 2, 2),
              (std::vector<int16_t>{32767, 16000, -32767, -8000, 0, 0}));
}

TEST(RiffReader, CodedFilesDecodeCloseToTheirSource)
{
    testsupport::ScopedTestEnv env;
    struct Case
    {
        const char* encoder;
        uint16_t tag;
        int rate, channels;
        double minSnr;
        int lag;
    } cases[] = {
        {"adpcm_ima_wav", WAVE_FORMAT_IMA_ADPCM, 8000, 1, 28, 0},
        {"adpcm_ms", WAVE_FORMAT_ADPCM, 16000, 2, 28, 0},
        {"libgsm_ms", WAVE_FORMAT_GSM610, 8000, 1, 15, 400},
        {"pcm_alaw", WAVE_FORMAT_ALAW, 8000, 2, 32, 0},
        {"pcm_mulaw", WAVE_FORMAT_MULAW, 11025, 1, 32, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.encoder);
        // Several 0x20000-byte input buffers' worth for the 8-bit codecs.
        const int frames = c.rate * 14 + 123;
        const auto pcm = acmtest::Tone(c.rate, c.channels, frames, 330, 8000);
        const auto enc = acmtest::Encode(c.encoder, c.tag, c.rate, c.channels, pcm);
        const std::string path = env.Path(std::string(c.encoder) + ".wav");
        testsupport::WriteFile(path, acmtest::RiffFile(enc.format, enc.data, frames));
        auto s = OpenRiff(path);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->GetSampleRate(), c.rate);
        EXPECT_EQ(s->GetChannelCount(), c.channels);
        EXPECT_EQ(s->GetSampleCount(), frames);
        const auto got = odktest::ReadAll(*s, 1000, c.channels);
        EXPECT_GE(got.size(), pcm.size());
        EXPECT_GT(acmtest::AlignedSnr(pcm, got, c.channels, c.lag), c.minSnr);
    }
}

TEST(RiffReader, SeekLandsOnTheFrameAndReadsAgainAfterTheEnd)
{
    testsupport::ScopedTestEnv env;
    const auto pcm = odktest::Ramp(16000);
    testsupport::WriteFile(env.Path("r.wav"), odktest::PcmWav(8000, 1, pcm));
    auto s = OpenRiff(env.Path("r.wav"));
    ASSERT_TRUE(s);
    EXPECT_DOUBLE_EQ(s->Seek(1.5), 1.5);
    short one = 0;
    ASSERT_EQ(s->ReadData(&one, 1), 1);
    EXPECT_EQ(one, 12000);
    // Beyond the end: the last frame (the sample count), nothing left to read.
    EXPECT_DOUBLE_EQ(s->Seek(100), 2.0);
    EXPECT_EQ(s->ReadData(&one, 1), 0);
    EXPECT_DOUBLE_EQ(s->Seek(-3), 0);
    EXPECT_EQ(odktest::ReadAll(*s, 777, 1), pcm);

    // A coded file: the position follows the ratio rule, lands on a block, decodes cleanly.
    const auto tone = acmtest::Tone(8000, 1, 8000 * 4, 250, 8000);
    const auto enc = acmtest::Encode("adpcm_ima_wav", WAVE_FORMAT_IMA_ADPCM, 8000, 1, tone);
    testsupport::WriteFile(env.Path("ima.wav"), acmtest::RiffFile(enc.format, enc.data));
    auto ima = OpenRiff(env.Path("ima.wav"));
    ASSERT_TRUE(ima);
    EXPECT_DOUBLE_EQ(ima->Seek(1.0), 1.0);
    const auto rest = odktest::ReadAll(*ima, 500, 1);
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(rest.size() % (1 + (enc.format->nBlockAlign - 4) * 2), 0u);
    EXPECT_DOUBLE_EQ(ima->Seek(0), 0);
    const auto all = odktest::ReadAll(*ima, 4096, 1);
    EXPECT_GE(all.size(), tone.size());
    // Whatever block it landed on, the sound from there on is the tone from that block on.
    ASSERT_LT(rest.size(), all.size());
    const std::vector<int16_t> expected(
        tone.begin() + static_cast<ptrdiff_t>(all.size() - rest.size()), tone.end());
    EXPECT_GT(acmtest::AlignedSnr(expected, rest, 1, 0), 25);
}

TEST(RiffReader, MpegLayer3IsRefusedAndLeftToTheMediaReader)
{
    testsupport::ScopedTestEnv env;
    const auto pcm = acmtest::Tone(44100, 2, 44100, 500, 9000);
    const auto enc = acmtest::Encode("libmp3lame", WAVE_FORMAT_MPEGLAYER3, 44100, 2, pcm);
    testsupport::WriteFile(env.Path("mp3.wav"), acmtest::RiffFile(enc.format, enc.data));
    EXPECT_FALSE(OpenRiff(env.Path("mp3.wav")));
    std::unique_ptr<InputSoundFileStream> s(
        InputSoundFileStream::Open(Wide(env.Path("mp3.wav")).c_str(), OpenRiffThenMedia));
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->UsesDX());
    EXPECT_EQ(s->GetSampleRate(), 44100);
    EXPECT_GT(acmtest::AlignedSnr(pcm, odktest::ReadAll(*s, 4096, 2), 2, 3000), 15);
}

TEST(RiffReader, MalformedFilesGiveNull)
{
    testsupport::ScopedTestEnv env;
    const std::string pcmFmt = Fmt(1, 1, 8000, 2, 16);
    const std::string data = Chunk("data", std::string(200, '\x01'));
    const struct
    {
        const char* name;
        std::string bytes;
    } bad[] = {
        {"empty", ""},
        {"truncated header", "RIFF\x10\0"},
        {"not wave", "RIFF" + Le32(4) + "AVI "},
        {"no fmt", Riff(data)},
        {"fmt beyond the file", Riff("fmt " + Le32(1000) + pcmFmt)},
        {"fmt of 0 bytes", Riff(Chunk("fmt ", "") + data)},
        {"fmt of 100000 bytes", Riff(Chunk("fmt ", std::string(100000, '\0')) + data)},
        {"0 channels", Riff(Chunk("fmt ", Fmt(1, 0, 8000, 2, 16)) + data)},
        {"rate 0", Riff(Chunk("fmt ", Fmt(1, 1, 0, 2, 16)) + data)},
        // Found by fuzzing: a rate beyond int came out of GetSampleRate negative.
        {"rate 3003064128", Riff(Chunk("fmt ", Fmt(3, 1, 0xB3001F40, 4, 32)) + data)},
        {"block align 0", Riff(Chunk("fmt ", Fmt(1, 1, 8000, 0, 16)) + data)},
        {"IMA block align 0", Riff(Chunk("fmt ", Fmt(0x11, 1, 8000, 0, 4)) + data)},
        {"float block mismatch", Riff(Chunk("fmt ", Fmt(3, 2, 8000, 4, 32)) + data)},
        {"unknown tag", Riff(Chunk("fmt ", Fmt(0x4242, 1, 8000, 2, 16)) + data)},
        {"huge chunk sizes", Riff("LIST" + Le32(0xFFFFFFF0) + Chunk("fmt ", pcmFmt))},
    };
    for (const auto& b : bad)
    {
        testsupport::WriteFile(env.Path("bad.wav"), b.bytes);
        EXPECT_FALSE(OpenRiff(env.Path("bad.wav"))) << b.name;
    }
    EXPECT_FALSE(OpenRiff(env.Root())); // a directory
    EXPECT_FALSE(OpenRiff(env.Path("missing.wav")));
    EXPECT_FALSE(OpenRiff(env.Path(std::string(2048, 'a'))));
}

TEST(RiffReader, OddButReadableLayoutsOpen)
{
    testsupport::ScopedTestEnv env;
    const auto pcm = odktest::Ramp(100);
    const auto bytes = acmtest::Bytes(pcm);
    const std::string body(bytes.begin(), bytes.end());
    // cbSize 60 in an 18-byte chunk, data before fmt, an odd-sized chunk before data, and a
    // data chunk that claims more than the file holds.
    std::string fmt = Fmt(1, 1, 8000, 2, 16);
    fmt[16] = 60;
    testsupport::WriteFile(env.Path("a.wav"),
                           Riff(Chunk("data", body) + Chunk("junk", "abc") + Chunk("fmt ", fmt)));
    testsupport::WriteFile(env.Path("b.wav"),
                           Riff(Chunk("fmt ", fmt) + "data" + Le32(1000000) + body));
    for (const char* name : {"a.wav", "b.wav"})
    {
        auto s = OpenRiff(env.Path(name));
        ASSERT_TRUE(s) << name;
        EXPECT_EQ(s->GetSampleCount(), 100) << name;
        EXPECT_EQ(odktest::ReadAll(*s, 64, 1), pcm) << name;
    }
}

TEST(RiffReader, WaveHeaderQueries)
{
    testsupport::ScopedTestEnv env;
    testsupport::WriteFile(env.Path("s.wav"), odktest::PcmWav(22050, 2, odktest::Ramp(10)));
    testsupport::WriteFile(
        env.Path("short.wav"),
        Riff(Chunk("fmt ", Fmt(1, 1, 8000, 2, 16).substr(0, 16) + "") + Chunk("data", "xx")));
    testsupport::WriteFile(env.Path("text.wav"), "hello");
    WAVEFORMATEX f{};
    EXPECT_EQ(InputACMSoundFileStream::GetWavFileParameters(Wide(env.Path("s.wav")).c_str(), f), 0);
    EXPECT_EQ(f.nSamplesPerSec, 22050u);
    EXPECT_EQ(f.nBlockAlign, 4);
    f.cbSize = 99;
    EXPECT_EQ(InputACMSoundFileStream::GetWavFileParameters(Wide(env.Path("short.wav")).c_str(), f),
              0);
    EXPECT_EQ(f.cbSize, 0);
    EXPECT_EQ(InputACMSoundFileStream::GetWavFileParameters(Wide(env.Path("no.wav")).c_str(), f),
              -1);
    EXPECT_EQ(InputACMSoundFileStream::GetWavFileParameters(Wide(env.Path("text.wav")).c_str(), f),
              -2);
    EXPECT_EQ(InputACMSoundFileStream::GetWavFileChannelCount(Wide(env.Path("s.wav")).c_str()), 2);
    EXPECT_EQ(InputACMSoundFileStream::GetWavFileChannelCount(Wide(env.Path("text.wav")).c_str()),
              -2);
}
