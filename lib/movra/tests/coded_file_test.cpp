// Coded WAVE files, made with the codec stand-in's test encoders.
#include "movra/datasrc_file.h"
#include "movra/wav_file.h"

#include "acmtest/codec_files.h"
#include "platform/text.h"
#include "testsupport/test_env.h"
#include "wave_bytes.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace
{

std::vector<int16_t> ReadAll(WAVE_FILE_READER& reader)
{
    return wavetest::ReadToEof(reader, reader.GetSampleRate(), reader.GetChannelCount());
}

} // namespace

TEST(CodedWaveFile, AdpcmWithoutFactDecodesAndSeeksToBlockBoundaries)
{
    testsupport::ScopedTestEnv env;
    const auto tone = acmtest::Tone(8000, 1, 8000, 440, 12000);
    const auto ima = acmtest::Encode("adpcm_ima_wav", WAVE_FORMAT_IMA_ADPCM, 8000, 1, tone);
    testsupport::WriteFile(env.Path("ima.wav"), acmtest::RiffFile(ima.format, ima.data));
    WAVE_FILE_READER reader(platform::Utf8ToWide(env.Path("ima.wav")), 0);
    EXPECT_EQ(reader.GetFormat().rfind("IMA ADPCM", 0), 0u) << reader.GetFormat();

    // IMA ADPCM mono: a 4-byte block header holding one sample, then two samples a byte.
    const unsigned perBlock = (ima.format->nBlockAlign - 4u) * 2u + 1u;
    const auto frames = reader.Size().Num() * 8000 / reader.Size().Den();
    EXPECT_GE(frames, 8000);
    EXPECT_LT(frames, 8000 + perBlock);
    const auto all = ReadAll(reader);
    EXPECT_EQ(int64_t(all.size()), frames);
    EXPECT_GT(acmtest::AlignedSnr(tone, all, 1, 0), 20.0);

    // Blocks decode on their own: after a seek the sound is what continuous decoding gave.
    RNUMBER64 reached;
    ASSERT_TRUE(reader.Seek(RNUMBER64(1, 2), reached));
    const auto at = size_t(reached.Num() * 8000 / reached.Den());
    EXPECT_EQ(at % perBlock, 0u);
    EXPECT_LE(at, 4000u);
    EXPECT_GT(at + perBlock, 4000u);
    const auto rest = ReadAll(reader);
    ASSERT_EQ(rest.size(), all.size() - at);
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), all.begin() + long(at)));
}

TEST(CodedWaveFile, MpegInRiffGoesToTheLibraryReader)
{
    testsupport::ScopedTestEnv env;
    const auto tone = acmtest::Tone(44100, 2, 44100, 440, 12000);
    acmtest::Encoded mp3;
    try
    {
        mp3 = acmtest::Encode("libmp3lame", WAVE_FORMAT_MPEGLAYER3, 44100, 2, tone, 128000);
    }
    catch (const std::runtime_error& e)
    {
        GTEST_SKIP() << e.what();
    }
    testsupport::WriteFile(env.Path("mp3.wav"), acmtest::RiffFile(mp3.format, mp3.data));
    const std::wstring name = platform::Utf8ToWide(env.Path("mp3.wav"));
    // The native reader can open it, but its format is MPEG, so the file source passes it on.
    WAVE_FILE native(name);
    EXPECT_EQ(native.GetFormat().rfind("MPEG", 0), 0u) << native.GetFormat();
    const auto reader = DATASRC_FILE::Construct(name, 0);
    EXPECT_TRUE(reader->IsLibraryReader());
    RNUMBER64 length;
    ASSERT_TRUE(reader->Size(length));
    EXPECT_NEAR(length.ToDouble(), 1.0, 0.1);
}
