#include "transfer/peaks_cache.h"
#include "transfer/record_waveform.h"
#include "transfer/waveform_worker.h"

#include "testsupport/sound.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

namespace
{

numera::WaveformPeaks Peaks(int width, int channels)
{
    numera::WaveformPeaks p;
    p.rate = 16000;
    p.channels = channels;
    p.width = width;
    p.frames = 123456;
    for (int i = 0; i < width * channels; ++i)
    {
        p.min.push_back(int16_t(-i * 97));
        p.max.push_back(int16_t(i * 89));
    }
    p.segments = {{0.25, 1.5}, {2.0, 7.125}};
    return p;
}

vark::WaveformSnapshot Finished(const vark::WaveformWorker& w)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!w.Snapshot().done && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return w.Snapshot();
}

} // namespace

// What is read back is the strip that was kept for that record, width and computation, and
// nothing else: any other identity or width, a cut or damaged file, reads as not kept.
TEST(PeaksCache, GivesBackOnlyTheStripKeptForThatRecordWidthAndComputation)
{
    testsupport::ScopedTestEnv env;
    const numera::WaveformPeaks stereo = Peaks(40, 2);
    const std::string bytes = vark::EncodePeaks("record:7:x", stereo);
    const auto back = vark::DecodePeaks(bytes, "record:7:x", 40);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->min, stereo.min);
    EXPECT_EQ(back->max, stereo.max);
    EXPECT_EQ(back->frames, stereo.frames);
    ASSERT_EQ(back->segments.size(), 2u);
    EXPECT_DOUBLE_EQ(back->segments[1].end, 7.125);
    EXPECT_FALSE(vark::DecodePeaks(bytes, "record:7:y", 40));
    EXPECT_FALSE(vark::DecodePeaks(bytes, "record:7:x", 41));
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        ASSERT_FALSE(vark::DecodePeaks(bytes.substr(0, cut), "record:7:x", 40)) << cut;
    std::string older = bytes;
    older[4] = char(older[4] + 1); // another computation's version
    EXPECT_FALSE(vark::DecodePeaks(older, "record:7:x", 40));
    std::string hostile = bytes;
    hostile[hostile.size() - 25] = char(0x7f); // the first segment ends before it starts
    EXPECT_FALSE(vark::DecodePeaks(hostile, "record:7:x", 40));

    vark::PeaksCache cache(env.Path("peaks"));
    ASSERT_TRUE(cache.Store("file:/a.wav:1:2", stereo));
    EXPECT_TRUE(cache.Load("file:/a.wav:1:2", 40));
    EXPECT_FALSE(cache.Load("file:/a.wav:1:2", 80));
    EXPECT_FALSE(cache.Load("file:/b.wav:1:2", 40));
    EXPECT_NE(cache.FileOf("file:/a.wav:1:2", 40), cache.FileOf("file:/a.wav:1:2", 80));
    EXPECT_EQ(vark::PeaksCache().FileOf("x", 1).parent_path(),
              std::filesystem::path(env.Root()) / "cache/Mirvanta/Varke-P/peaks");
}

// A file's strip is kept once read whole and used while the file is unchanged; a record that
// streams is worked out from its blocks in order (a jump past what is known is not seen) and,
// heard to its end, is whole at once the next time.
TEST(PeaksCache, FilesAndStreamedRecordsAreWorkedOutOnceAndAgainWhenChanged)
{
    testsupport::ScopedTestEnv env;
    vark::PeaksCache cache(env.Path("peaks"));
    const std::string wav = env.Path("tone.wav");
    testsupport::WriteFile(wav, testsupport::MonoWav(testsupport::TestTone(16000), 8000));
    const vark::WaveformSnapshot first = Finished(vark::WaveformWorker(wav, 50, &cache));
    ASSERT_EQ(first.columns, 50);
    ASSERT_TRUE(cache.Load(vark::FilePeaksIdentity(wav), 50));
    // what is kept is what is shown: a planted strip proves the file is not read again
    numera::WaveformPeaks planted = first.peaks;
    planted.max.assign(planted.max.size(), 7);
    ASSERT_TRUE(cache.Store(vark::FilePeaksIdentity(wav), planted));
    EXPECT_EQ(Finished(vark::WaveformWorker(wav, 50, &cache)).peaks.max, planted.max);
    // changed, the file is another file
    testsupport::WriteFile(wav, testsupport::MonoWav(testsupport::TestTone(16001), 8000));
    EXPECT_NE(Finished(vark::WaveformWorker(wav, 50, &cache)).peaks.max, planted.max);

    vark::RecordInfo info;
    info.start = platform::AutoDate::FromParts(2026, 12, 11, 9, 30, 0);
    info.serialNumber = L"1234";
    info.dataSize = 8000 * 2 * 3; // 3 s of 8 kHz mono PCM
    std::vector<int16_t> sound(24000);
    for (size_t i = 0; i < sound.size(); ++i)
        sound[i] = int16_t(8000 * std::sin(double(i) * 0.3) * (i < 12000 ? 0.25 : 1.0));
    {
        vark::RecordWaveform streamed(info, 30, &cache);
        streamed.Feed(0, sound.data(), 4000);
        EXPECT_EQ(streamed.Snapshot().columns, 5);
        streamed.Feed(16000, sound.data() + 16000, 4000); // a jump ahead: not seen
        EXPECT_EQ(streamed.Snapshot().columns, 5);
        streamed.Feed(2000, sound.data() + 2000, 12000); // overlapping what is known
        EXPECT_EQ(streamed.Snapshot().columns, 17);
        EXPECT_FALSE(streamed.Snapshot().done);
        streamed.Feed(14000, sound.data() + 14000, 10000);
        const vark::WaveformSnapshot whole = streamed.Snapshot();
        ASSERT_TRUE(whole.done);
        numera::PeakAnalyser direct(8000, 1, 24000, 30);
        direct.Feed(sound.data(), sound.size());
        direct.Finish();
        EXPECT_EQ(whole.peaks.min, direct.Result().min);
        EXPECT_EQ(whole.peaks.max, direct.Result().max);
    }
    const vark::WaveformSnapshot again = vark::RecordWaveform(info, 30, &cache).Snapshot();
    EXPECT_TRUE(again.done);
    EXPECT_EQ(again.columns, 30);
    info.dataSize -= 2; // another record
    EXPECT_FALSE(vark::RecordWaveform(info, 30, &cache).Snapshot().done);
}
