#include "numera/waveform_peaks.h"
#include "test_material/material.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace
{

// The first and last sample of the clip that is clearly not silence.
std::pair<size_t, size_t> Span(const std::vector<int16_t>& clip)
{
    size_t first = 0, last = 0;
    for (size_t i = 0; i < clip.size(); ++i)
        if (std::abs(clip[i]) > 300)
        {
            if (!first) first = i;
            last = i;
        }
    return {first, last};
}

} // namespace

TEST(WaveformPeaks, ColumnsHoldEachChannelsExtremesWhateverTheBlocksAndLength)
{
    // stereo: a ramp on the left, its negative on the right, 1000 frames over 7 columns
    const int frames = 1000, width = 7;
    std::vector<int16_t> s;
    for (int i = 0; i < frames; ++i)
    {
        s.push_back(int16_t(i * 30 - 15000));
        s.push_back(int16_t(15000 - i * 30));
    }
    numera::PeakAnalyser whole(8000, 2, frames, width, false);
    whole.Feed(s.data(), frames);
    numera::PeakAnalyser pieces(8000, 2, frames, width, false);
    for (int at = 0, step = 1; at < frames; at += step, step = step % 97 + 13)
    {
        const int n = std::min(step, frames - at);
        pieces.Feed(&s[size_t(at) * 2], size_t(n));
        EXPECT_LE(pieces.Columns(), (at + n) * width / frames) << at;
    }
    ASSERT_EQ(whole.Columns(), width);
    EXPECT_EQ(pieces.Result().min, whole.Result().min);
    EXPECT_EQ(pieces.Result().max, whole.Result().max);
    const auto& p = whole.Result();
    for (int c = 0; c < width; ++c)
    {
        const int from = int((int64_t(c) * frames + width - 1) / width);
        const int to = int((int64_t(c + 1) * frames + width - 1) / width) - 1;
        EXPECT_EQ(p.min[size_t(c) * 2], from * 30 - 15000) << c;
        EXPECT_EQ(p.max[size_t(c) * 2], to * 30 - 15000) << c;
        EXPECT_EQ(p.min[size_t(c) * 2 + 1], 15000 - to * 30) << c;
        EXPECT_EQ(p.max[size_t(c) * 2 + 1], 15000 - from * 30) << c;
    }

    // a stream longer than announced goes into the last column; a shorter one leaves the
    // rest unknown; a strip wider than the record draws its empty columns as silence
    numera::PeakAnalyser longer(8000, 1, 10, 2, false);
    const std::vector<int16_t> twelve = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, -99, 99};
    longer.Feed(twelve.data(), twelve.size());
    EXPECT_EQ(longer.Result().min, (std::vector<int16_t>{1, -99}));
    EXPECT_EQ(longer.Result().max, (std::vector<int16_t>{5, 99}));
    numera::PeakAnalyser shorter(8000, 1, 10, 2, false);
    shorter.Feed(twelve.data(), 7);
    EXPECT_EQ(shorter.Columns(), 1);
    numera::PeakAnalyser wide(8000, 1, 3, 8, false);
    wide.Feed(twelve.data(), 3);
    ASSERT_EQ(wide.Columns(), 8);
    for (int c = 0; c < 8; ++c)
        EXPECT_LE(wide.Result().min[size_t(c)], wide.Result().max[size_t(c)]) << c;
}

TEST(WaveformPeaks, SegmentsStartWhereSpeechStartsAndNoneInNoiseAlone)
{
    for (int rate : {8000, 16000})
    {
        // quiet noise, speech at 1 s, 4 s of noise, the other speech
        const std::vector<int16_t> first = material::Speech(rate, 0),
                                   second = material::Speech(rate, 1);
        const size_t gap = size_t(4 * rate), lead = size_t(rate);
        std::vector<int16_t> clean(lead + first.size() + gap + second.size() + lead, 0);
        std::copy(first.begin(), first.end(), clean.begin() + long(lead));
        const size_t secondAt = lead + first.size() + gap;
        std::copy(second.begin(), second.end(), clean.begin() + long(secondAt));
        const std::vector<int16_t> noisy =
            material::MixAtSnr(clean, material::PinkNoise(clean.size(), 7), 30);

        numera::PeakAnalyser a(rate, 1, int64_t(noisy.size()), 600);
        a.Feed(noisy.data(), noisy.size());
        a.Finish();
        const auto& segments = a.Result().segments;
        ASSERT_FALSE(segments.empty()) << rate;
        const auto [f0, f1] = Span(first);
        const auto [s0, s1] = Span(second);
        const double firstStart = double(lead + f0) / rate, firstEnd = double(lead + f1) / rate;
        const double secondStart = double(secondAt + s0) / rate,
                     secondEnd = double(secondAt + s1) / rate;
        const double slack = numera::PeakAnalyser::kSegmentHangSeconds + 0.2;
        EXPECT_NEAR(segments.front().start, firstStart, 0.15) << rate;
        bool secondFound = false;
        for (const auto& s : segments)
        {
            EXPECT_LT(s.start, s.end) << rate;
            const bool inFirst = s.start >= firstStart - 0.15 && s.end <= firstEnd + slack;
            const bool inSecond = s.start >= secondStart - 0.15 && s.end <= secondEnd + slack;
            EXPECT_TRUE(inFirst || inSecond) << rate << ": " << s.start << "-" << s.end;
            secondFound |= std::abs(s.start - secondStart) < 0.15;
        }
        EXPECT_TRUE(secondFound) << rate;

        // the same noise alone, 60 s of it, is never speech
        const std::vector<int16_t> noise =
            material::ScaledToRms(material::PinkNoise(size_t(60 * rate), 11), 300);
        numera::PeakAnalyser quiet(rate, 1, int64_t(noise.size()), 600);
        quiet.Feed(noise.data(), noise.size());
        quiet.Finish();
        EXPECT_TRUE(quiet.Result().segments.empty()) << rate;
    }
}
