// The mixer: channel tables per channel count from the settings file, mute and solo, and
// sums that clip instead of wrapping.
#include "movra/mixer.h"
#include "platform/profile.h"
#include "recording_host.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

namespace
{

SMSG Planar(std::vector<std::vector<int16_t>> channels)
{
    SMSG msg;
    msg.Assign(8000, static_cast<unsigned long>(channels.size()), channels[0].size());
    for (size_t c = 0; c < channels.size(); ++c)
        std::copy(channels[c].begin(), channels[c].end(),
                  msg.Channel(static_cast<unsigned long>(c)));
    return msg;
}

struct MixerTest : ::testing::Test
{
    testsupport::ScopedTestEnv env;
    std::string ini = env.Path("player.ini");
    RecordingHost host;
    OBJ_MIXER mixer{ini};
    void SetUp() override { mixer.SetInterface(&host); }
};

} // namespace

TEST_F(MixerTest, MonoGoesToBothSidesUnchanged)
{
    SMSG msg = Planar({{1, -2, 32767, -32768}});
    EXPECT_EQ(mixer.Process(msg), TONEXT);
    EXPECT_EQ(msg.channels, 2u);
    EXPECT_EQ(msg.samples, (std::vector<int16_t>{1, -2, 32767, -32768, 1, -2, 32767, -32768}));
    EXPECT_TRUE(host.Has("OnMixerChannelsCounter 1"));
    EXPECT_TRUE(host.Has("OnMixer 0 0 0 100 100"));
}

TEST_F(MixerTest, MutedChannelWithoutSoloLeavesTheOtherAtItsLevels)
{
    SMSG first = Planar({{0}, {0}});
    mixer.Process(first);
    ASSERT_TRUE(mixer.Set(0, false, false, 50, 100));
    ASSERT_TRUE(mixer.Set(1, true, false, 100, 100));
    SMSG msg = Planar({{1000, -1001}, {3000, 3000}});
    mixer.Process(msg);
    EXPECT_EQ(msg.samples, (std::vector<int16_t>{500, -500, 1000, -1001}));
}

TEST_F(MixerTest, SoloOnAMutedChannelIsSilentAndSoloUsesOnlyItsChannel)
{
    SMSG first = Planar({{0}, {0}});
    mixer.Process(first);
    mixer.Set(1, true, true, 100, 100);
    SMSG msg = Planar({{1000}, {2000}});
    mixer.Process(msg);
    EXPECT_EQ(msg.samples, (std::vector<int16_t>{0, 0}));

    mixer.Set(1, false, true, 30, 70);
    SMSG again = Planar({{1000}, {-2001}});
    mixer.Process(again);
    EXPECT_EQ(again.samples, (std::vector<int16_t>{-600, -1400}));
    EXPECT_EQ(mixer.Solo(), 1);

    // solo false on another channel keeps the solo; on the solo channel it clears it.
    mixer.Set(0, false, false, 100, 100);
    EXPECT_EQ(mixer.Solo(), 1);
    mixer.Set(1, false, false, 100, 100);
    EXPECT_EQ(mixer.Solo(), -1);
}

TEST_F(MixerTest, FullScaleChannelsClipAtBothEnds)
{
    SMSG msg = Planar({{32767, -32768, 20000}, {32767, -32768, -30000}});
    mixer.Process(msg);
    EXPECT_EQ(msg.samples, (std::vector<int16_t>{32767, -32768, -10000, 32767, -32768, -10000}));
}

TEST_F(MixerTest, RefusesChannelsOutsideTheTableAndClampsLevels)
{
    EXPECT_FALSE(mixer.Set(0, false, false, 10, 10)); // no table before the first message
    SMSG msg = Planar({{0}});
    mixer.Process(msg);
    EXPECT_FALSE(mixer.Set(1, true, true, 10, 10));
    EXPECT_FALSE(mixer.Set(-1, true, true, 10, 10));
    EXPECT_EQ(mixer.Solo(), -1);
    EXPECT_TRUE(mixer.Set(0, false, false, -5, 250));
    EXPECT_EQ(mixer.Channels()[0].left, 0);
    EXPECT_EQ(mixer.Channels()[0].right, 100);
}

TEST_F(MixerTest, TablesComeFromAndGoBackToTheSettingsFile)
{
    platform::ProfileWriteString(ini, "MIXER_MAP_2", "CHANNEL_1_L", "40");
    platform::ProfileWriteString(ini, "MIXER_MAP_2", "CHANNEL_1_R", "junk");
    SMSG stereo = Planar({{0}, {0}});
    mixer.Process(stereo);
    ASSERT_EQ(mixer.Channels().size(), 2u);
    EXPECT_EQ(mixer.Channels()[1].left, 40);
    EXPECT_EQ(mixer.Channels()[1].right, 100);
    EXPECT_TRUE(host.Has("OnMixer 1 0 0 40 100"));

    mixer.Set(0, false, false, 25, 75);
    SMSG mono = Planar({{0}});
    mixer.Process(mono); // leaving the 2-channel table writes it back
    EXPECT_EQ(platform::ProfileReadInt(ini, "MIXER_MAP_2", "CHANNEL_0_L", -1), 25);
    EXPECT_EQ(platform::ProfileReadInt(ini, "MIXER_MAP_2", "CHANNEL_0_R", -1), 75);
    EXPECT_EQ(platform::ProfileReadInt(ini, "MIXER_MAP_2", "CHANNEL_1_L", -1), 40);

    SMSG back = Planar({{0}, {0}});
    mixer.Process(back);
    EXPECT_EQ(mixer.Channels()[0].left, 25);
}

TEST_F(MixerTest, AnEmptyEndMarkKeepsTheTable)
{
    SMSG stereo = Planar({{0}, {0}});
    mixer.Process(stereo);
    host.Clear();
    SMSG end;
    end.eof = true;
    EXPECT_EQ(mixer.Process(end), TONEXT);
    EXPECT_EQ(mixer.Channels().size(), 2u);
    EXPECT_TRUE(host.Starting("OnMixerChannelsCounter").empty());
    EXPECT_EQ(end.channels, 2u);
}
