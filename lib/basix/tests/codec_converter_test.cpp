#include "basix/codec_converter.h"

#include "acmtest/codec_files.h"

#include <gtest/gtest.h>

TEST(CodecConverter, DecodesCodedDataPieceByPieceToPcm)
{
    const auto source = acmtest::Tone(8000, 1, 8000, 500, 7000);
    const auto enc = acmtest::Encode("pcm_alaw", WAVE_FORMAT_ALAW, 8000, 1, source);
    const WAVEFORMATEX pcm = platform::MakePcmFormat(8000, 1);
    CODEC_CONVERTER converter(1600);
    ASSERT_TRUE(converter.Initialize(enc.format.get(), &pcm, 1600));
    EXPECT_GE(converter.BufferSize(), 3200u);

    std::vector<int16_t> decoded;
    size_t at = 0;
    while (at < enc.data.size())
    {
        size_t size = enc.data.size() - at;
        const size_t produced = converter.Convert(enc.data.data() + at, size, true);
        ASSERT_LE(size, 1600u); // never more than one buffer's worth per call
        ASSERT_GT(size, 0u);
        at += size;
        const auto* samples = converter.Buffer();
        for (size_t i = 0; i + 1 < produced; i += 2)
            decoded.push_back(static_cast<int16_t>(samples[i] | samples[i + 1] << 8));
    }
    EXPECT_EQ(decoded.size(), source.size());
    EXPECT_GT(acmtest::AlignedSnr(source, decoded, 1, 0), 30);
}

TEST(CodecConverter, RefusesWhatItCannotConvert)
{
    CODEC_CONVERTER converter(4096);
    const WAVEFORMATEX unknown{0x7777, 1, 8000, 8000, 1, 8, 0};
    const WAVEFORMATEX pcm = platform::MakePcmFormat(8000, 1);
    const WAVEFORMATEX pcm8 = platform::MakePcmFormat(8000, 1, 8);
    EXPECT_FALSE(converter.Initialize(&unknown, &pcm, 4096));
    EXPECT_FALSE(converter.Initialize(&pcm, &pcm8, 4096)); // encoding is not offered
    EXPECT_FALSE(converter.IsInitialized());
    size_t size = 10;
    const uint8_t bytes[10] = {};
    EXPECT_EQ(converter.Convert(bytes, size), 0u);
    EXPECT_EQ(size, 0u);
}
