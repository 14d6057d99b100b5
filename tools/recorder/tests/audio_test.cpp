#include "recorder/audio.h"
#include "recorder/demo.h"
#include "recorder/mulaw.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace recorder;

namespace
{
std::vector<uint8_t> Wav(unsigned tag, unsigned channels, unsigned rate, unsigned bits,
                         const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> w;
    auto u32 = [&](uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            w.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v)
    {
        w.push_back(static_cast<uint8_t>(v));
        w.push_back(static_cast<uint8_t>(v >> 8));
    };
    w.insert(w.end(), {'R', 'I', 'F', 'F'});
    u32(static_cast<uint32_t>(36 + data.size()));
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(16);
    u16(static_cast<uint16_t>(tag));
    u16(static_cast<uint16_t>(channels));
    u32(rate);
    u32(rate * channels * bits / 8);
    u16(static_cast<uint16_t>(channels * bits / 8));
    u16(static_cast<uint16_t>(bits));
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    u32(static_cast<uint32_t>(data.size()));
    w.insert(w.end(), data.begin(), data.end());
    return w;
}
} // namespace

TEST(RecorderAudio, MulawKnownValuesAndRoundTrip)
{
    EXPECT_EQ(MulawEncode(0), 0xFF);
    EXPECT_EQ(MulawDecode(0xFF), 0);
    EXPECT_EQ(MulawEncode(32767), 0x80);
    EXPECT_EQ(MulawEncode(-32768), 0x00);
    EXPECT_EQ(MulawDecode(0x80), 32124);
    EXPECT_EQ(MulawDecode(0x00), -32124);
    for (int v = -32768; v <= 32767; v += 7)
    {
        const int back = MulawDecode(MulawEncode(static_cast<int16_t>(v)));
        // The step grows with the segment: never worse than 1/16 of the value plus a little.
        ASSERT_LE(std::abs(back - std::clamp(v, -32124, 32124)), std::abs(v) / 16 + 8) << v;
    }
    for (int c = 0; c < 256; ++c)
    {
        if (c == 0x7F) continue; // 0x7F and 0xFF are the two zeros
        ASSERT_EQ(MulawEncode(MulawDecode(static_cast<uint8_t>(c))), c) << c;
    }
}

TEST(RecorderAudio, WavFormatsAndMalformedFiles)
{
    PcmAudio a;
    std::string why;
    ASSERT_TRUE(ParseWav(Wav(1, 2, 22050, 16, {0x34, 0x12, 0xFF, 0xFF}), &a, &why)) << why;
    EXPECT_EQ(a.rate, 22050u);
    EXPECT_EQ(a.channels, 2u);
    EXPECT_EQ(a.samples, (std::vector<int16_t>{0x1234, -1}));
    ASSERT_TRUE(ParseWav(Wav(1, 1, 8000, 8, {0x80, 0xFF, 0x00}), &a, &why));
    EXPECT_EQ(a.samples, (std::vector<int16_t>{0, 127 << 8, -32768}));
    ASSERT_TRUE(ParseWav(Wav(3, 1, 8000, 32, {0, 0, 0x80, 0x3F, 0, 0, 0xC0, 0x7F}), &a, &why));
    EXPECT_EQ(a.samples, (std::vector<int16_t>{32767, 0})); // 1.0 and NaN

    const auto bad = [&](std::vector<uint8_t> bytes, const std::string& expect)
    {
        PcmAudio x;
        std::string w;
        EXPECT_FALSE(ParseWav(bytes, &x, &w));
        EXPECT_NE(w.find(expect), std::string::npos) << w;
    };
    bad({'R', 'I', 'F', 'F'}, "not a RIFF WAVE");
    bad(Wav(2, 1, 8000, 4, {1, 2}), "unsupported sample format");
    bad(Wav(1, 0, 8000, 16, {1, 2}), "implausible format");
    std::vector<uint8_t> noData = Wav(1, 1, 8000, 16, {});
    noData.resize(36);
    bad(noData, "no data chunk");
    std::vector<uint8_t> shortFmt = Wav(1, 1, 8000, 16, {});
    shortFmt[16] = 0xFF; // fmt chunk claims more than the file holds
    bad(shortFmt, "truncated format chunk");

    testsupport::ScopedTestEnv env;
    std::string error;
    EXPECT_FALSE(ReadWav(env.Path("nope.wav"), &a, &error));
    EXPECT_EQ(error, env.Path("nope.wav") + ": cannot be read");
}

TEST(RecorderAudio, ConversionToRecordFormats)
{
    PcmAudio a;
    a.rate = 22050;
    a.channels = 1;
    for (int i = 0; i < 22050; ++i) // one second of 440 Hz
        a.samples.push_back(static_cast<int16_t>(10000 * std::sin(2 * M_PI * 440 * i / 22050.0)));
    EXPECT_EQ(ToRecordData(a, false, false, true).size(), 8000u);
    EXPECT_EQ(ToRecordData(a, true, false, false).size(), 32000u);
    const std::vector<uint8_t> st = ToRecordData(a, true, true, false);
    ASSERT_EQ(st.size(), 64000u);
    // The tone survives: peak near 10000, both channels equal.
    int peak = 0;
    for (size_t i = 4000; i + 3 < st.size(); i += 4)
    {
        const int16_t l = static_cast<int16_t>(st[i] | st[i + 1] << 8);
        const int16_t r = static_cast<int16_t>(st[i + 2] | st[i + 3] << 8);
        ASSERT_EQ(l, r);
        peak = std::max(peak, std::abs(l));
    }
    EXPECT_NEAR(peak, 10000, 600);

    const PcmAudio v = SyntheticVoice(3.0, 16000, 1);
    ASSERT_EQ(v.samples.size(), 48000u);
    // Voice-like: loud syllables and quiet gaps.
    int loud = 0, quiet = 0;
    for (size_t i = 0; i + 800 <= v.samples.size(); i += 800)
    {
        double e = 0;
        for (size_t j = i; j < i + 800; ++j)
            e += std::abs(v.samples[j]);
        e /= 800;
        loud += e > 1500;
        quiet += e < 300;
    }
    EXPECT_GT(loud, 10);
    EXPECT_GT(quiet, 2);
}

TEST(RecorderAudio, MarksAndSources)
{
    uint32_t v = 0;
    EXPECT_TRUE(ParseMarks("T,L,A", &v));
    EXPECT_EQ(v, kHeaderMarkT | kHeaderMarkL | kHeaderMarkA);
    EXPECT_FALSE(ParseMarks("T,X", &v));
    EXPECT_TRUE(ParseSources("ext-left,ext-right", &v));
    EXPECT_EQ(v, 10u);
    EXPECT_TRUE(ParseSources("17", &v));
    EXPECT_EQ(v, 17u);
    EXPECT_FALSE(ParseSources("32", &v));
    EXPECT_FALSE(ParseSources("mic", &v));
    EXPECT_FALSE(ParseSources("", &v));
}

TEST(RecorderAudio, DemoImageCoversTheFormats)
{
    const RecorderImage img = MakeDemoImage();
    ASSERT_GE(img.records.size(), 7u);
    std::vector<size_t> aOnly;
    for (size_t i = 0; i < img.records.size(); ++i)
    {
        const StoredRecord& r = img.records[i];
        EXPECT_GT(r.data.size(), 8000u);
        if ((r.header & (kHeaderMarkA | kHeaderMarkT)) == kHeaderMarkA) aOnly.push_back(i);
    }
    for (uint32_t h : {kHeaderRate16k, kHeaderStereo, kHeaderUncompressed, kHeaderMarkT,
                       kHeaderMarkL, kHeaderMarkA})
        EXPECT_TRUE(std::any_of(img.records.begin(), img.records.end(),
                                [h](const StoredRecord& r) { return r.header & h; }));
    // A run of consecutive "A" fragments, each a few seconds after the previous one ended.
    ASSERT_GE(aOnly.size(), 3u);
    for (size_t k = 1; k < aOnly.size(); ++k)
    {
        ASSERT_EQ(aOnly[k], aOnly[k - 1] + 1);
        const StoredRecord& p = img.records[aOnly[k - 1]];
        const uint32_t end = p.start + static_cast<uint32_t>(p.data.size() / 8000);
        EXPECT_GE(img.records[aOnly[k]].start, end + 2);
        EXPECT_LE(img.records[aOnly[k]].start, end + 7);
    }
}
