#include "movra/sb_output_card.h"

#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/stat.h>

namespace
{

long Free(SB_OUTPUT_CARD& card)
{
    long a = -1, b = -2;
    card.GetFreeSpace(0, &a, &b);
    EXPECT_EQ(a, b);
    return a;
}

long Pending(SB_OUTPUT_CARD& card)
{
    long a = -1, b = -2;
    card.GetPending(0, &a, &b);
    EXPECT_EQ(a, b);
    return a;
}

struct Signal
{
    explicit Signal(long frames, short base = 0) : left(frames), right(frames)
    {
        for (long i = 0; i < frames; ++i)
        {
            left[i] = static_cast<short>(base + i * 7 - 12000);
            right[i] = static_cast<short>(-base - i * 13 + 9000);
        }
    }
    long Samples() const { return static_cast<long>(left.size()) * 2; }
    std::vector<short> left, right;
};

// Writes everything, waiting for room as the core does.
void WriteAll(SB_OUTPUT_CARD& card, const Signal& s)
{
    long done = 0;
    while (done < s.Samples())
    {
        long l = 0, r = 0;
        card.Write(0, s.left.data() + done / 2, s.right.data() + done / 2, s.Samples() - done, &l,
                   &r);
        ASSERT_EQ(l, r);
        done += l;
        if (done < s.Samples())
        {
            ASSERT_TRUE(testsupport::WaitFor([&] { return Free(card) > 0; }, 10000));
        }
    }
}

short At(const std::string& file, size_t sample)
{
    const size_t at = 44 + 2 * sample;
    return static_cast<short>(static_cast<uint8_t>(file[at]) | static_cast<uint8_t>(file[at + 1])
                                                                   << 8);
}

} // namespace

TEST(SbOutputCard, CaptureHearsExactlyTheInterleavedSignalAndFlushPadsWithSilence)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("heard.wav");
    env.Set("VARK_AUDIO", "capture:" + path);
    env.Set("VARK_AUDIO_SPEED", "50");
    {
        SB_OUTPUT_CARD card(-1);
        card.SetOutChanMode(0, 16000);
        card.SetOutChanState(0, CH_STARTED);
        // First cycle every block through stale data, so a flush that did not clear the
        // rest of its block would be heard.
        WriteAll(card, Signal(SB_OUTPUT_CARD::kCapacityFrames, 321));
        const Signal s(20000 + 50); // not a whole number of blocks
        WriteAll(card, s);
        card.Flush();
        ASSERT_TRUE(testsupport::WaitFor([&] { return Pending(card) == 0; }, 20000));
        const std::string file = testsupport::ReadFile(path);
        const size_t stale = SB_OUTPUT_CARD::kCapacityFrames * 2;
        const size_t padded = (s.Samples() + 255) / 256 * 256;
        ASSERT_EQ(file.size(), 44 + 2 * (stale + padded));
        for (size_t i = 0; i < static_cast<size_t>(s.Samples()); ++i)
            ASSERT_EQ(At(file, stale + i), i % 2 ? s.right[i / 2] : s.left[i / 2]) << i;
        for (size_t i = s.Samples(); i < padded; ++i)
            ASSERT_EQ(At(file, stale + i), 0) << i;
    }
}

TEST(SbOutputCard, FreePlusPendingIsTheCapacityWhilePlaying)
{
    testsupport::ScopedTestEnv env;
    SB_OUTPUT_CARD card(-1);
    card.SetOutChanMode(0, 8000);
    EXPECT_EQ(Free(card), 16256);
    EXPECT_EQ(Pending(card), 0);
    const Signal s(1000);
    long l = 0, r = 0;
    card.Write(0, s.left.data(), s.right.data(), s.Samples(), &l, &r);
    EXPECT_EQ(l, 2000);
    EXPECT_LE(Pending(card), 1000);
    ASSERT_TRUE(testsupport::WaitFor(
        [&]
        {
            // blocks come back between two calls: only free space that stayed the same
            // around the pending reading (it only grows while nothing is written) belongs to it
            const long before = Free(card), pending = Pending(card), after = Free(card);
            if (before == after)
            {
                EXPECT_EQ(before + pending, 16256);
            }
            return pending == 1000 % 128; // only the partial block stays
        },
        10000));
}

TEST(SbOutputCard, WritingWithEveryBlockSubmittedTakesNothing)
{
    testsupport::ScopedTestEnv env;
    SB_OUTPUT_CARD card(-1);
    card.SetOutChanMode(0, 1000); // one block lasts 128 ms
    const Signal s(20000);
    long l = 0, r = 0;
    card.Write(0, s.left.data(), s.right.data(), s.Samples(), &l, &r);
    EXPECT_EQ(l, 2 * 16256);
    EXPECT_EQ(Free(card), 0);
    card.Write(0, s.left.data(), s.right.data(), 200, &l, &r);
    EXPECT_EQ(l, 0);
    EXPECT_EQ(r, 0);
}

TEST(SbOutputCard, StopWaitsForEveryBlockAndOnlyWhenStarted)
{
    testsupport::ScopedTestEnv env;
    SB_OUTPUT_CARD card(-1);
    card.SetOutChanMode(0, 8000);
    const Signal s(10000);
    long l = 0, r = 0, state = -1;
    card.SetOutChanState(0, CH_STOPPED); // not started: nothing to do
    card.SetOutChanState(0, CH_STARTED);
    card.GetOutChanState(0, &state);
    EXPECT_EQ(state, CH_STARTED);
    card.Write(0, s.left.data(), s.right.data(), s.Samples() - 2, &l, &r);
    card.SetOutChanState(0, CH_STOPPED);
    EXPECT_EQ(card.FreeBlocks(), 127);
    EXPECT_EQ(Free(card), 16256);
    card.GetOutChanState(0, &state);
    EXPECT_EQ(state, CH_STOPPED);
    DEVICE_POSITION position{};
    card.GetDevicePosition(&position);
    EXPECT_EQ(position.samples, 0);
}

TEST(SbOutputCard, MisuseThrowsTheDocumentedTypes)
{
    testsupport::ScopedTestEnv env;
    SB_OUTPUT_CARD card(-1);
    const Signal s(10);
    long l = 0, r = 0;
    EXPECT_THROW(card.Write(0, s.left.data(), s.right.data(), 3, &l, &r), LOGIC_ERROR);
    EXPECT_THROW(card.Write(1, s.left.data(), s.right.data(), 2, &l, &r), INVALID_ARGUMENT);
    EXPECT_THROW(card.Write(0, nullptr, s.right.data(), 2, &l, &r), INVALID_ARGUMENT);
    EXPECT_THROW(card.Write(0, s.left.data(), s.right.data(), 2, &l, nullptr), INVALID_ARGUMENT);
    EXPECT_THROW(card.SetOutChanState(0, 2), LOGIC_ERROR);
    EXPECT_THROW(card.GetFreeSpace(-1, &l, &r), INVALID_ARGUMENT);
    EXPECT_THROW(card.GetDevicePosition(nullptr), INVALID_ARGUMENT);
    EXPECT_THROW(card.SetVolume(0, nullptr), INVALID_ARGUMENT);
    EXPECT_THROW(SB_OUTPUT_CARD(7), RUNTIME_ERROR); // the null back end has devices -1 and 0
}

TEST(SbOutputCard, VolumeConversionAndReopenOnlyOnARateChange)
{
    testsupport::ScopedTestEnv env;
    const std::string journal = env.Path("journal.log");
    ASSERT_TRUE(JOURNAL::Create(journal));
    {
        SB_OUTPUT_CARD card(-1);
        VOLUME_LEVEL volume{50, 5};
        card.SetVolume(0, &volume);
        RAW_VOLUME raw{};
        card.GetRawVolume(&raw);
        EXPECT_EQ(raw.maximum, 65535);
        EXPECT_EQ(raw.minimum, 0);
        EXPECT_EQ(raw.left, 16383);
        EXPECT_EQ(raw.right, 32767);
        VOLUME_LEVEL back{};
        card.GetVolume(0, &back);
        EXPECT_EQ(back.level, 50);
        EXPECT_EQ(back.balance, 5);

        long left = 0, right = 0;
        A_OUTPUT_DRV::ConvertLevelBalance2ChansLevels(100, 0, 65535, 0, &left, &right);
        EXPECT_EQ(left, 65535);
        EXPECT_EQ(right, 65535);
        A_OUTPUT_DRV::ConvertLevelBalance2ChansLevels(80, -10, 65535, 0, &left, &right);
        EXPECT_GT(left, 0);
        EXPECT_EQ(right, 0);

        card.SetOutChanMode(0, 44100); // the rate it opened at
        EXPECT_EQ(testsupport::ReadFile(journal).find("BLASTER CLOSED"), std::string::npos);
        card.SetOutChanMode(0, 22050);
        long rate = 0;
        card.GetOutChanMode(0, &rate);
        EXPECT_EQ(rate, 22050);
        EXPECT_NE(testsupport::ReadFile(journal).find("BLASTER CLOSED"), std::string::npos);
    }
    const std::string text = testsupport::ReadFile(journal);
    JOURNAL::Destroy();
    EXPECT_NE(text.find("level=50 balance=5"), std::string::npos);
    EXPECT_NE(text.find("resulting: left=16383 right=32767"), std::string::npos);
    EXPECT_NE(text.find("THREAD INFO: SB_OUTPUT_CARD::MainThread id = "), std::string::npos);
}

TEST(SbOutputCard, ADeviceThatFailsWhilePlayingGivesItsBlocksBackAndIsJournalled)
{
    testsupport::ScopedTestEnv env;
    ASSERT_TRUE(JOURNAL::Create(env.Path("journal.log")));
    // A pipe takes the header but cannot be positioned: every block fails as played.
    const std::string path = env.Path("gone.wav");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    env.Set("VARK_AUDIO", "capture:" + path);
    env.Set("VARK_AUDIO_SPEED", "20");
    {
        SB_OUTPUT_CARD card(-1);
        card.SetOutChanMode(0, 16000);
        card.SetOutChanState(0, CH_STARTED);
        WriteAll(card, Signal(3 * SB_OUTPUT_CARD::kCapacityFrames));
        card.Flush();
        EXPECT_TRUE(testsupport::WaitFor([&] { return Pending(card) == 0; }, 20000));
        card.SetOutChanState(0, CH_STOPPED);
        EXPECT_EQ(card.FreeBlocks(), SB_OUTPUT_CARD::kBlocks);
    }
    JOURNAL::Destroy();
    const std::string journal = testsupport::ReadFile(env.Path("journal.log"));
    EXPECT_NE(journal.find("SB_OUTPUT_CARD: device error: capture"), std::string::npos) << journal;
}
