#include "sound_blocks.h"

#include <gtest/gtest.h>

using player::InterleaveChannelBlocks;

TEST(SoundBlocks, StereoBlocksAreInterleavedFrameByFrame)
{
    // Left samples 0x0201, 0x0403; right samples 0x0605, 0x0807; then one stray byte.
    const uint8_t blocks[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const auto out = InterleaveChannelBlocks(blocks, sizeof blocks, 2);
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(*out, (std::vector<signed char>{1, 2, 5, 6, 3, 4, 7, 8}));
    // Only whole frames of both halves count: 10 bytes are 2 frames, the rest is dropped.
    const uint8_t ten[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(*InterleaveChannelBlocks(ten, sizeof ten, 2),
              (std::vector<signed char>{1, 2, 5, 6, 3, 4, 7, 8}));
}

TEST(SoundBlocks, MonoPassesWholeSamplesAndOtherCountsAreRefused)
{
    const uint8_t mono[] = {1, 2, 3};
    EXPECT_EQ(*InterleaveChannelBlocks(mono, sizeof mono, 1), (std::vector<signed char>{1, 2}));
    EXPECT_TRUE(InterleaveChannelBlocks(mono, 0, 2)->empty());
    EXPECT_FALSE(InterleaveChannelBlocks(mono, sizeof mono, 0).has_value());
    EXPECT_FALSE(InterleaveChannelBlocks(mono, sizeof mono, 3).has_value());
    EXPECT_FALSE(InterleaveChannelBlocks(mono, sizeof mono, -1).has_value());
}
