// The monitoring source: pushed sound comes out in read blocks, formats stay apart, the
// backlog is bounded, and the device position is read at most every 200 ms.
#include "movra/a_output_drv.h"
#include "movra/datasrc_monitoring.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace
{

SMSG Ramp(long rate, unsigned long channels, size_t frames, int from = 0)
{
    SMSG msg;
    msg.Assign(rate, channels, frames);
    for (unsigned long c = 0; c < channels; ++c)
        for (size_t f = 0; f < frames; ++f)
            msg.Channel(c)[f] = static_cast<int16_t>(from + static_cast<int>(f) + 1000 * c);
    return msg;
}

const RNUMBER64 k20ms = RNUMBER64::FromMs(20);

// A card that only says where its device is.
class PositionCard : public A_OUTPUT_DRV
{
public:
    long GetMinLevel() override { return 0; }
    long GetMaxLevel() override { return 65535; }
    bool GetDevicePosition(DEVICE_POSITION* p) override
    {
        ++calls;
        p->samples = position;
        p->bytes = position * 4;
        return true;
    }
    int calls = 0;
    long long position = 0;
};

} // namespace

TEST(Monitoring, ClosedSourceRefusesAndOpenTwiceFails)
{
    DATASRC_MONITORING source(k20ms);
    SMSG msg;
    EXPECT_FALSE(source.Put(Ramp(8000, 1, 800)));
    EXPECT_FALSE(source.Read(msg, k20ms));
    EXPECT_TRUE(source.Open());
    EXPECT_FALSE(source.Open());
    EXPECT_TRUE(source.Close());
    EXPECT_TRUE(source.Close());
}

TEST(Monitoring, HundredMsPiecesComeOutInTwentyMsBlocks)
{
    DATASRC_MONITORING source(k20ms);
    source.Open();
    SMSG msg;
    EXPECT_TRUE(source.Read(msg, k20ms));
    EXPECT_TRUE(msg.IsEmpty()); // nothing yet: empty, no end mark
    EXPECT_FALSE(msg.eof);
    source.Put(Ramp(8000, 1, 800, 0));
    source.Put(Ramp(8000, 1, 800, 800));
    std::vector<int16_t> all;
    for (int i = 0; i < 10; ++i)
    {
        ASSERT_TRUE(source.Read(msg, k20ms));
        ASSERT_EQ(msg.Frames(), 160u) << i;
        EXPECT_EQ(msg.length, k20ms);
        all.insert(all.end(), msg.samples.begin(), msg.samples.end());
    }
    source.Read(msg, k20ms);
    EXPECT_TRUE(msg.IsEmpty());
    ASSERT_EQ(all.size(), 1600u);
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], static_cast<int16_t>(i)) << i;
}

TEST(Monitoring, ReadsContinueInsidePartlyHandedOutBlocks)
{
    DATASRC_MONITORING source(k20ms);
    source.Open();
    source.Put(Ramp(8000, 2, 320));
    SMSG msg;
    source.Read(msg, RNUMBER64::FromMs(5)); // 40 frames
    ASSERT_EQ(msg.Frames(), 40u);
    source.Read(msg, RNUMBER64::FromMs(30)); // the rest of block 1 and most of block 2
    ASSERT_EQ(msg.Frames(), 240u);
    EXPECT_EQ(msg.Channel(0)[0], 40);
    EXPECT_EQ(msg.Channel(1)[0], 1040);
    EXPECT_EQ(msg.Channel(0)[239], 279);
    source.Read(msg, RNUMBER64::FromMs(30));
    ASSERT_EQ(msg.Frames(), 40u);
    EXPECT_EQ(msg.Channel(1)[39], 1319);
}

TEST(Monitoring, AFormatChangeFlushesTheOldFormatFirst)
{
    DATASRC_MONITORING source(k20ms);
    source.Open();
    source.Put(Ramp(8000, 1, 200)); // one block and 40 frames left over
    source.Put(Ramp(16000, 2, 320));
    SMSG msg;
    source.Read(msg, RNUMBER64::FromMs(100));
    EXPECT_EQ(msg.rate, 8000);
    EXPECT_EQ(msg.Frames(), 200u); // stops where the format changes
    source.Read(msg, RNUMBER64::FromMs(100));
    EXPECT_EQ(msg.rate, 16000);
    EXPECT_EQ(msg.channels, 2u);
    EXPECT_EQ(msg.Frames(), 320u);
}

// A stream whose length is no multiple of the block: its last part still comes out, in
// order, once the whole blocks are gone.
TEST(Monitoring, TheLastPartialBlockIsNotHeldBack)
{
    DATASRC_MONITORING source(k20ms);
    source.Open();
    source.Put(Ramp(8000, 2, 170));
    SMSG msg;
    ASSERT_TRUE(source.Read(msg, k20ms));
    ASSERT_EQ(msg.Frames(), 160u);
    ASSERT_TRUE(source.Read(msg, k20ms));
    ASSERT_EQ(msg.Frames(), 10u);
    EXPECT_EQ(msg.rate, 8000);
    EXPECT_EQ(msg.Channel(0)[0], 160);
    EXPECT_EQ(msg.Channel(1)[9], 1169);
    EXPECT_FALSE(msg.eof);
    source.Read(msg, k20ms);
    EXPECT_TRUE(msg.IsEmpty());
    // What comes next starts a block of its own.
    source.Put(Ramp(8000, 2, 160, 170));
    ASSERT_TRUE(source.Read(msg, k20ms));
    ASSERT_EQ(msg.Frames(), 160u);
    EXPECT_EQ(msg.Channel(0)[0], 170);
}

TEST(Monitoring, BacklogStopsAtSixtySeconds)
{
    DATASRC_MONITORING source(k20ms);
    source.Open();
    // 61 s at once: only what fits under 60 s stays.
    EXPECT_TRUE(source.Put(Ramp(8000, 1, 61 * 8000)));
    EXPECT_EQ(source.Backlog(), RNUMBER64(60));
    EXPECT_TRUE(source.Put(Ramp(8000, 1, 800)));
    EXPECT_EQ(source.Backlog(), RNUMBER64(60));
    SMSG msg;
    source.Read(msg, RNUMBER64::FromMs(100));
    EXPECT_EQ(source.Backlog(), RNUMBER64::FromMs(59900));
    // Pieces of 100 ms: the last ones are dropped whole.
    source.Close();
    source.Open();
    for (int i = 0; i < 610; ++i)
        source.Put(Ramp(8000, 1, 800));
    EXPECT_EQ(source.Backlog(), RNUMBER64(60));
}

TEST(Monitoring, DevicePositionIsReadAtMostEveryTwoHundredMs)
{
    DATASRC_MONITORING source(k20ms);
    PositionCard card;
    source.Open();
    source.Attach(&card);
    SMSG msg;
    const auto start = std::chrono::steady_clock::now();
    source.Read(msg, k20ms);
    card.position = 1600;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(450))
    {
        source.Read(msg, k20ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    EXPECT_GE(card.calls, 2);
    EXPECT_LE(card.calls, 1 + elapsed / 200);
    EXPECT_EQ(source.DevicePlayed(), 1600);

    // A device without a position ends the readings.
    card.position = -1;
    while (card.calls < 4 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        source.Read(msg, k20ms);
    const int calls = card.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    source.Read(msg, k20ms);
    EXPECT_EQ(card.calls, calls);
    source.Detach();
}
