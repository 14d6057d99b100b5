#include "device/record_info.h"
#include "device/vark_params.h"
#include "device/vark_settings.h"

#include "testsupport/test_env.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

using namespace vark;
using platform::AutoDate;
using platform::AutoSpan;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace
{
std::wstring W(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

VarkParamsBytes RandomRecord(unsigned seed)
{
    std::mt19937 rng(seed);
    VarkParamsBytes b;
    for (auto& x : b)
        x = static_cast<uint8_t>(rng());
    return b;
}

std::string HexLine(const VarkParamsBytes& b, int checksumDelta = 0)
{
    static const char* hex = "0123456789ABCDEF";
    std::string s;
    unsigned sum = 0;
    for (uint8_t x : b)
    {
        s += hex[x >> 4];
        s += hex[x & 15];
        sum += x;
    }
    const uint8_t c = static_cast<uint8_t>(sum + static_cast<unsigned>(checksumDelta));
    s += hex[c >> 4];
    s += hex[c & 15];
    return s;
}
} // namespace

TEST(VarkParams, LayoutIsTheFileImageByteForByte)
{
    VarkParams p;
    p.compression = 1;
    p.sourceRight = 16;
    p.timers[0].enabled = 1;
    p.timers[0].start = 36526.5;
    p.timers[4].durationStatus = 1;
    p.accuThreshold = 0x1234;
    p.ringLength = 0.0625;
    p.buttonMode = -1;
    p.inputLevelRight = 31;
    const auto b = SerializeParams(p);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[4], 16);
    EXPECT_EQ(b[8], 1);
    // The timer's double sits at offset 4 of the timer: packed, not aligned to 8.
    double start;
    std::memcpy(&start, b.data() + 12, 8);
    EXPECT_EQ(start, 36526.5);
    EXPECT_EQ(b[8 + 4 * 28 + 24], 1);
    EXPECT_EQ(b[152], 0x34);
    EXPECT_EQ(b[153], 0x12);
    EXPECT_EQ(b[172], 0xFF);
    EXPECT_EQ(b[175], 0xFF);
    EXPECT_EQ(b[182], 31);
    EXPECT_EQ(DeserializeParams(b.data()), p);

    // Any 184 bytes, padding included, survive a round trip unchanged.
    for (unsigned seed = 0; seed < 50; ++seed)
    {
        const auto raw = RandomRecord(seed);
        EXPECT_EQ(SerializeParams(DeserializeParams(raw.data())), raw);
    }
}

TEST(VarkParams, TimeConversionsRoundHalfASecondAwayFromZero)
{
    uint32_t s = 0;
    ASSERT_TRUE(DateToRecorderTime(AutoDate::FromParts(2000, 1, 1, 0, 0, 0), s));
    EXPECT_EQ(s, 0u);
    ASSERT_TRUE(DateToRecorderTime(AutoDate::FromParts(2024, 5, 6, 7, 8, 9), s));
    EXPECT_EQ(RecorderTimeToDate(s).Format("%Y-%m-%d %H:%M:%S"), "2024-05-06 07:08:09");
    // 0.4999 s below a whole second still rounds up to it.
    ASSERT_TRUE(SpanToRecorderSeconds(AutoSpan((10 - 0.4999) / 86400.0), s));
    EXPECT_EQ(s, 10u);
    ASSERT_TRUE(SpanToRecorderSeconds(AutoSpan(9.4 / 86400.0), s));
    EXPECT_EQ(s, 9u);
    EXPECT_FALSE(DateToRecorderTime(AutoDate::Invalid(), s));
    EXPECT_FALSE(SpanToRecorderSeconds(AutoSpan(4e6), s));
    EXPECT_EQ(EncodeInputLevel(0), 31);
    EXPECT_EQ(EncodeInputLevel(3), 2);
    EXPECT_EQ(DecodeInputLevel(31), 0);
    EXPECT_EQ(DecodeInputLevel(4), 5);
}

TEST(RecordInfo, HeaderWordAndDuration)
{
    const auto info = DecodeRecordHeader(32000, 3600, 0x0005, static_cast<int16_t>(0x8001));
    EXPECT_EQ(info.rate16k, 1);
    EXPECT_EQ(info.compressed, 0);
    EXPECT_EQ(info.stereo, 0);
    EXPECT_NEAR(info.duration.TotalSeconds(), 1.0, 1e-9);
    EXPECT_EQ(info.serialNumber, L"-32767");
    EXPECT_EQ(info.start.Format("%Y-%m-%d %H:%M:%S"), "2000-01-01 01:00:00");

    const auto marks = DecodeRecordHeader(16000, 0, 0x3A | (0x1Fu << 6) | 0xFFFFF800u, 5);
    EXPECT_EQ(marks.stereo, 1);
    EXPECT_EQ(marks.compressed, 1);
    EXPECT_EQ(marks.marks, kMarkBitT | kMarkBitA);
    EXPECT_EQ(marks.markL, 1u);
    EXPECT_EQ(marks.sources, 0x1Fu);
    EXPECT_NEAR(marks.duration.TotalSeconds(), 1.0, 1e-9); // 8 kHz stereo mu-law
    // Sizes near 2^32 give long but finite durations.
    EXPECT_TRUE(DecodeRecordHeader(0xFFFFFFFFu, 0xFFFFFFFFu, 0, 1).duration.IsValid());
}

TEST(ParamsFile, RoundTripsByteForByteAndRefusesInvalidValues)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("p.vrp");
    const auto raw = RandomRecord(11);
    const VarkParams params = DeserializeParams(raw.data());
    ASSERT_TRUE(SaveParamsFile(W(path), params));
    ASSERT_TRUE(SaveParamsFile(W(path), params)); // twice: still one line
    const auto text = ReadFile(path);
    EXPECT_EQ(text, "[Common]\nVarkParams=" + HexLine(raw) + "\n");
    EXPECT_EQ(HexLine(raw).size(), 370u);

    VarkParams loaded;
    ASSERT_TRUE(LoadParamsFile(W(path), loaded));
    EXPECT_EQ(SerializeParams(loaded), raw);

    const VarkParams untouched = DeserializeParams(RandomRecord(12).data());
    auto lower = HexLine(raw);
    for (auto& c : lower)
        c = static_cast<char>(std::tolower(c));
    VarkParamsBytes shortRec{};
    std::string shortLine = HexLine(shortRec).substr(2); // 183 bytes + checksum
    for (const std::string& value : {lower, HexLine(raw, 1), shortLine,
                                     HexLine(raw).substr(0, 368) + "00" + "00", std::string("")})
    {
        WriteFile(path, "[Common]\nVarkParams=" + value + "\n");
        VarkParams p = untouched;
        EXPECT_FALSE(LoadParamsFile(W(path), p)) << value.size();
        EXPECT_EQ(p, untouched);
    }
    VarkParams p = untouched;
    EXPECT_FALSE(LoadParamsFile(W(env.Path("missing.vrp")), p));
    EXPECT_EQ(p, untouched);

    // Other sections and keys of the file survive a save.
    WriteFile(path, "[Mine]\nA=1\n[Common]\nOther=2\nVarkParams=00\n");
    ASSERT_TRUE(SaveParamsFile(W(path), params));
    EXPECT_EQ(ReadFile(path), "[Mine]\nA=1\n[Common]\nOther=2\nVarkParams=" + HexLine(raw) + "\n");
}
