// MOVRA::CRender: the file chain run to a sink on the caller's thread, without the card.
#include "movra/movra.h"

#include "platform/text.h"
#include "recording_host.h"
#include "testsupport/test_env.h"
#include "wave_bytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace wavetest;

namespace
{

// Keeps what it is given, left and right; `onTake` may stop the run or act on the core.
struct CollectingSink : RENDER_SINK
{
    std::vector<int16_t> left, right;
    size_t messages = 0;
    bool endSeen = false, afterEnd = false;
    std::function<bool(size_t)> onTake;

    bool Take(const SMSG& msg) override
    {
        afterEnd = afterEnd || endSeen;
        endSeen = endSeen || msg.eof;
        ++messages;
        if (msg.Frames() > 0)
        {
            EXPECT_EQ(msg.channels, 2u);
            left.insert(left.end(), msg.Channel(0), msg.Channel(0) + msg.Frames());
            right.insert(right.end(), msg.Channel(1), msg.Channel(1) + msg.Frames());
        }
        return onTake ? onTake(messages) : true;
    }
};

struct RenderTest : ::testing::Test
{
    testsupport::ScopedTestEnv env;
    RecordingHost host;
    std::string capture = env.Path("heard.wav");
    std::unique_ptr<MOVRA> core;

    void SetUp() override
    {
        env.Set("VARK_AUDIO", "capture:" + capture);
        env.Set("VARK_AUDIO_SPEED", "10");
        core = std::make_unique<MOVRA>(-1);
        core->CSetInterface(&host);
    }
    std::wstring File(uint32_t rate, uint16_t channels, size_t frames)
    {
        testsupport::WriteFile(env.Path("in.wav"), PcmFile(rate, channels, frames));
        return platform::Utf8ToWide(env.Path("in.wav"));
    }
};

} // namespace

TEST_F(RenderTest, TheWholeFileReachesTheSinkAndNothingTheCard)
{
    const size_t frames = 8000 * 3 / 2 + 33;
    ASSERT_TRUE(core->COpenFile({File(8000, 1, frames)}));
    ASSERT_TRUE(core->CSetPos(500));
    for (const size_t first : {size_t{4000}, size_t{0}}) // from the seek, then from the rewind
    {
        CollectingSink sink;
        ASSERT_TRUE(core->CRender(sink));
        EXPECT_TRUE(sink.endSeen);
        EXPECT_FALSE(sink.afterEnd);
        const std::vector<int16_t> input = Interleaved(frames - first, 1, first);
        ASSERT_EQ(sink.left, input);
        ASSERT_EQ(sink.right, input);
        long ms = -1;
        EXPECT_TRUE(core->CGetPos(ms));
        EXPECT_EQ(ms, 0);
    }
    EXPECT_FALSE(host.Has("OnEndOfFile"));
    EXPECT_FALSE(host.Has("OnState 1 0"));
    // The card was never started: nothing was heard.
    const std::string heard = testsupport::ReadFile(capture);
    EXPECT_LE(heard.size(), 44u);
}

TEST_F(RenderTest, RefusedWithoutAFileWhilePlayingAndWhileRinging)
{
    CollectingSink sink;
    EXPECT_FALSE(core->CRender(sink));
    ASSERT_TRUE(core->COpenFile({File(8000, 2, 8000 * 4)}));
    ASSERT_TRUE(core->CPlay());
    EXPECT_FALSE(core->CRender(sink));
    ASSERT_TRUE(core->CStop());
    ASSERT_TRUE(core->CRing(true, 1000, 2000));
    EXPECT_FALSE(core->CRender(sink)); // a ring never ends
    EXPECT_EQ(sink.messages, 0u);
    ASSERT_TRUE(core->CRing(false, 0, 0));
    EXPECT_TRUE(core->CRender(sink));
    EXPECT_TRUE(sink.endSeen);
}

TEST_F(RenderTest, ASinkThatStopsEndsTheRunAndPlayingStillWorks)
{
    ASSERT_TRUE(core->COpenFile({File(8000, 1, 8000 * 3)}));
    CollectingSink sink;
    sink.onTake = [](size_t n) { return n < 3; };
    EXPECT_FALSE(core->CRender(sink));
    EXPECT_EQ(sink.messages, 3u);
    EXPECT_FALSE(sink.endSeen);
    ASSERT_TRUE(core->CPlay());
    EXPECT_TRUE(testsupport::WaitFor([&] { return host.Has("OnEndOfFile"); }, 30000));
}

TEST_F(RenderTest, ClosingTheFileFromTheSinkEndsTheRun)
{
    ASSERT_TRUE(core->COpenFile({File(8000, 1, 8000 * 3)}));
    CollectingSink sink;
    sink.onTake = [&](size_t n)
    {
        if (n == 2) core->CCloseFile();
        return true;
    };
    EXPECT_FALSE(core->CRender(sink));
    EXPECT_FALSE(core->CIsOpen());
    EXPECT_FALSE(sink.endSeen);
    EXPECT_LT(sink.messages, 20u);
}

TEST_F(RenderTest, HeldSoundComesOutAtTheEnd)
{
    // The stretcher and the gain control hold sound back; the end mark must carry it out,
    // and the stretcher at step -5 doubles the length.
    const size_t frames = 8000 * 2;
    std::vector<int16_t> voiced(frames);
    for (size_t i = 0; i < frames; ++i)
        voiced[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 150.0 * double(i) / 8000));
    testsupport::WriteFile(env.Path("v.wav"),
                           Riff(Fmt(1, 1, 8000, 16) + Chunk("data", Pcm16(voiced))));
    ASSERT_TRUE(core->COpenFile({platform::Utf8ToWide(env.Path("v.wav"))}));
    core->CAgc(30);
    core->CObject(MOVRA::OBJ_ID_AGC, 1);
    core->CStretcher(-5);
    CollectingSink sink;
    ASSERT_TRUE(core->CRender(sink));
    EXPECT_NEAR(static_cast<double>(sink.left.size()) / frames, 2.0, 0.04);
    EXPECT_EQ(sink.left, sink.right);
}

TEST_F(RenderTest, AFileStillBeingWrittenIsTakenAsFarAsItIsWritten)
{
    // The data chunk announces ten seconds; one is there so far.
    std::string bytes = Riff(Fmt(1, 1, 8000, 16) + Chunk("data", Pcm16(Interleaved(8000, 1))));
    const uint32_t announced = 8000 * 2 * 10;
    for (int i = 0; i < 4; ++i)
        bytes[40 + static_cast<size_t>(i)] = static_cast<char>((announced >> (8 * i)) & 0xFF);
    testsupport::WriteFile(env.Path("growing.wav"), bytes);
    ASSERT_TRUE(core->COpenFile({platform::Utf8ToWide(env.Path("growing.wav"))}));
    CollectingSink sink;
    ASSERT_TRUE(core->CRender(sink)); // ends instead of waiting for the rest
    EXPECT_TRUE(sink.endSeen);
    EXPECT_EQ(sink.left, Interleaved(8000, 1));
}
