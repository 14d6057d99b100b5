#include "platform/wave_format.h"

#include <gtest/gtest.h>

TEST(WaveFormat, HeaderIsReadAndWrittenLittleEndianFieldByField)
{
    const uint8_t bytes[18] = {0x11, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 0, 4, 4, 0, 2, 0};
    const WAVEFORMATEX f = platform::ReadWaveFormat(bytes);
    EXPECT_EQ(f.wFormatTag, 0x11);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.nSamplesPerSec, 44100u);
    EXPECT_EQ(f.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(f.nBlockAlign, 1024);
    EXPECT_EQ(f.wBitsPerSample, 4);
    EXPECT_EQ(f.cbSize, 2);
    uint8_t back[18];
    platform::WriteWaveFormat(f, back);
    EXPECT_EQ(0, memcmp(back, bytes, 18));
}

TEST(WaveFormat, ChunkBodiesOfAnyLengthGiveASelfConsistentBlock)
{
    // A 16-byte PCM body has no cbSize: the block says 0 extra bytes.
    const uint8_t pcm16[16] = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0};
    auto a = platform::WaveFormatBlock::FromChunk(pcm16, sizeof pcm16);
    EXPECT_EQ(a.size(), 18u);
    EXPECT_EQ(a->cbSize, 0);
    EXPECT_EQ(a->nSamplesPerSec, 8000u);

    // cbSize claims 100 bytes but only 3 follow: the block holds the 3.
    uint8_t lying[21] = {2, 0, 1, 0, 0x40, 0x1F, 0, 0, 0, 0, 0, 0, 0, 1, 4, 0, 100, 0, 7, 8, 9};
    auto b = platform::WaveFormatBlock::FromChunk(lying, sizeof lying);
    EXPECT_EQ(b->cbSize, 3);
    EXPECT_EQ(b.size(), 21u);
    EXPECT_EQ(platform::WaveFormatExtra(b.get())[2], 9);
    const auto serialized = b.Serialize();
    EXPECT_EQ(serialized[16], 3);
    EXPECT_EQ(serialized[20], 9);

    // An empty body is a block of zeros.
    auto c = platform::WaveFormatBlock::FromChunk(lying, 0);
    EXPECT_EQ(c->wFormatTag, 0);
    EXPECT_EQ(c.size(), 18u);
}
