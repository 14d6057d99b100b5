#include "acmtest/codec_files.h"
#include "platform/little_endian.h"
#include "test_material/material.h"
#include "testsupport/test_env.h"

#include <bit>
#include <gtest/gtest.h>

using testsupport::RunProcess;

namespace
{

std::string Tool()
{
    return testsupport::BinDir() + "/vark-audio";
}

struct Wav
{
    int channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;
};

// Reads a file the tool wrote: 16-bit PCM with the 46-byte header.
Wav ReadOutput(const std::string& path)
{
    const std::string b = testsupport::ReadFile(path);
    Wav w;
    if (b.size() < 46 || b.compare(0, 4, "RIFF") || b.compare(36, 6, std::string("\0\0data", 6)))
        return w;
    const auto* p = reinterpret_cast<const uint8_t*>(b.data());
    EXPECT_EQ(platform::LoadLE32(p + 4), b.size() - 8);
    EXPECT_EQ(platform::LoadLE16(p + 20), 1);
    w.channels = platform::LoadLE16(p + 22);
    w.rate = static_cast<int>(platform::LoadLE32(p + 24));
    w.bits = platform::LoadLE16(p + 34);
    const uint32_t size = platform::LoadLE32(p + 42);
    EXPECT_LE(46 + size, b.size());
    for (uint32_t i = 0; i + 1 < size && 46 + i + 1 < b.size(); i += 2)
        w.samples.push_back(static_cast<int16_t>(platform::LoadLE16(p + 46 + i)));
    return w;
}

} // namespace

TEST(VarkAudio, DecodesEveryKindOfInputToPcm)
{
    testsupport::ScopedTestEnv env;
    struct Case
    {
        const char* name;
        const char* encoder; // null: plain 16-bit PCM
        uint16_t tag;
        int rate, channels;
        double minSnr;
        int lag;
    } cases[] = {
        {"pcm.wav", nullptr, 1, 22050, 2, 200, 0},
        {"ulaw.wav", "pcm_mulaw", WAVE_FORMAT_MULAW, 8000, 1, 32, 0},
        {"alaw.wav", "pcm_alaw", WAVE_FORMAT_ALAW, 8000, 2, 32, 0},
        {"ima.wav", "adpcm_ima_wav", WAVE_FORMAT_IMA_ADPCM, 16000, 1, 28, 0},
        {"tone.mp3", "libmp3lame", WAVE_FORMAT_MPEGLAYER3, 44100, 2, 15, 3000},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto pcm = acmtest::Tone(c.rate, c.channels, c.rate * 2, 440, 9000);
        const std::string in = env.Path(c.name);
        if (!c.encoder)
        {
            const WAVEFORMATEX f = platform::MakePcmFormat(c.rate, c.channels);
            testsupport::WriteFile(
                in, acmtest::RiffFile(platform::WaveFormatBlock(&f), acmtest::Bytes(pcm)));
        }
        else
        {
            const auto enc = acmtest::Encode(c.encoder, c.tag, c.rate, c.channels, pcm);
            testsupport::WriteFile(in, c.tag == WAVE_FORMAT_MPEGLAYER3
                                           ? std::string(enc.data.begin(), enc.data.end())
                                           : acmtest::RiffFile(enc.format, enc.data));
        }
        const auto r = RunProcess({Tool(), "decode", in, env.Path("out.wav")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Wav w = ReadOutput(env.Path("out.wav"));
        EXPECT_EQ(w.rate, c.rate);
        EXPECT_EQ(w.channels, c.channels);
        EXPECT_EQ(w.bits, 16);
        if (!c.encoder)
            EXPECT_EQ(w.samples, pcm);
        else
            EXPECT_GT(acmtest::AlignedSnr(pcm, w.samples, c.channels, c.lag), c.minSnr);
    }
}

TEST(VarkAudio, FloatInputAndMonoMix)
{
    testsupport::ScopedTestEnv env;
    WAVEFORMATEX f = platform::MakePcmFormat(8000, 2, 32);
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    std::string data;
    for (float v : {1.5f, 0.5f, 0.25f, -0.125f})
        data += acmtest::Le32(std::bit_cast<uint32_t>(v));
    testsupport::WriteFile(env.Path("f.wav"),
                           acmtest::RiffFile(platform::WaveFormatBlock(&f),
                                             std::vector<uint8_t>(data.begin(), data.end())));
    ASSERT_EQ(RunProcess({Tool(), "decode", env.Path("f.wav"), env.Path("o.wav")}).exitCode, 0);
    EXPECT_EQ(ReadOutput(env.Path("o.wav")).samples,
              (std::vector<int16_t>{32767, 16000, 8000, -4000}));
    ASSERT_EQ(
        RunProcess({Tool(), "decode", env.Path("f.wav"), env.Path("m.wav"), "--mono"}).exitCode, 0);
    const Wav m = ReadOutput(env.Path("m.wav"));
    EXPECT_EQ(m.channels, 1);
    EXPECT_EQ(m.samples, (std::vector<int16_t>{32767, 4000}));

    const auto info = RunProcess({Tool(), "info", env.Path("f.wav")});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_NE(info.out.find("reader: RIFF"), std::string::npos);
    EXPECT_NE(info.out.find("channels: 2"), std::string::npos);
    EXPECT_NE(info.out.find("frames: 2"), std::string::npos);
    EXPECT_NE(info.out.find("format: Float 32bit 8000Hz Stereo"), std::string::npos);
}

TEST(VarkAudio, HostileFilesEndWithAClearErrorAndStatusOne)
{
    testsupport::ScopedTestEnv env;
    testsupport::WriteFile(env.Path("trunc.wav"), "RIFF\x20\0\0\0WAVEfmt \x10\0");
    testsupport::WriteFile(env.Path("zero.wav"), "RIFF" + acmtest::Le32(30) + "WAVE" +
                                                     acmtest::Chunk("fmt ", std::string(18, '\0')));
    testsupport::WriteFile(env.Path("noise.mp3"), std::string(4096, '\x13'));
    for (const std::string& in : {env.Path("trunc.wav"), env.Path("zero.wav"),
                                  env.Path("noise.mp3"), env.Path("missing.wav"), env.Root()})
    {
        for (const char* cmd : {"decode", "info", "peaks"})
        {
            auto r = std::string(cmd) == "decode" ? RunProcess({Tool(), cmd, in, env.Path("x.wav")})
                                                  : RunProcess({Tool(), cmd, in});
            EXPECT_EQ(r.exitCode, 1) << in;
            EXPECT_NE(r.err.find("vark-audio: " + in + ": not a sound file that can be read"),
                      std::string::npos)
                << r.err;
        }
    }
    EXPECT_FALSE(testsupport::FileExists(env.Path("x.wav")));
    EXPECT_EQ(RunProcess({Tool()}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "decode", "only-one"}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "frobnicate"}).exitCode, 2);
    for (const char* width : {"0", "100001", "12x"})
        EXPECT_EQ(RunProcess({Tool(), "peaks", env.Path("ok.wav"), "--width", width}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "--help"}).exitCode, 0);
    // An unwritable output is an error too.
    const WAVEFORMATEX f = platform::MakePcmFormat(8000, 1);
    testsupport::WriteFile(env.Path("ok.wav"),
                           acmtest::RiffFile(platform::WaveFormatBlock(&f), {0, 0}));
    const auto r = RunProcess({Tool(), "decode", env.Path("ok.wav"), env.Path("no/dir/out.wav")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos);
}

// Speech placed at 2 s in quiet noise: every kind of file finds it there, and the columns of
// the PCM file are exactly its smallest and largest samples.
TEST(VarkAudio, PeaksAndTheSpeechSegmentsOfPcmMulawAndMp3)
{
    testsupport::ScopedTestEnv env;
    struct Case
    {
        const char* name;
        const char* encoder;
        uint16_t tag;
        int rate;
    } cases[] = {{"speech.wav", nullptr, 1, 16000},
                 {"speech-ulaw.wav", "pcm_mulaw", WAVE_FORMAT_MULAW, 8000},
                 {"speech.mp3", "libmp3lame", WAVE_FORMAT_MPEGLAYER3, 16000}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::vector<int16_t> speech = material::Speech(c.rate);
        std::vector<int16_t> clean(size_t(2 * c.rate), 0);
        size_t onset = 0;
        while (onset < speech.size() && std::abs(speech[onset]) <= 300)
            ++onset;
        clean.insert(clean.end(), speech.begin(), speech.end());
        clean.resize(clean.size() + size_t(2 * c.rate), 0);
        const std::vector<int16_t> pcm =
            material::MixAtSnr(clean, material::WhiteNoise(clean.size(), 3), 40);
        const std::string in = env.Path(c.name);
        if (!c.encoder)
        {
            const WAVEFORMATEX f = platform::MakePcmFormat(c.rate, 1);
            testsupport::WriteFile(
                in, acmtest::RiffFile(platform::WaveFormatBlock(&f), acmtest::Bytes(pcm)));
        }
        else
        {
            const auto enc = acmtest::Encode(c.encoder, c.tag, c.rate, 1, pcm);
            testsupport::WriteFile(in, c.tag == WAVE_FORMAT_MPEGLAYER3
                                           ? std::string(enc.data.begin(), enc.data.end())
                                           : acmtest::RiffFile(enc.format, enc.data));
        }
        const auto r = RunProcess({Tool(), "peaks", in, "--width", "40", "--json"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string first = "\"segments\":[{\"start\":";
        const size_t at = r.out.find(first);
        ASSERT_NE(at, std::string::npos) << r.out;
        const double start = std::atof(r.out.c_str() + at + first.size());
        EXPECT_NEAR(start, 2.0 + double(onset) / c.rate, 0.15) << r.out.substr(at);
        if (c.encoder) continue;
        std::string columns = "\"peaks\":[";
        for (int col = 0; col < 40; ++col)
        {
            const size_t from = (size_t(col) * pcm.size() + 39) / 40;
            const size_t to = (size_t(col + 1) * pcm.size() + 39) / 40;
            const auto [lo, hi] =
                std::minmax_element(pcm.begin() + long(from), pcm.begin() + long(to));
            columns += (col ? ",[" : "[") + std::to_string(*lo) + "," + std::to_string(*hi) + "]";
        }
        EXPECT_NE(r.out.find(columns + "]"), std::string::npos) << r.out;
    }
}
